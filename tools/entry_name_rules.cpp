#include "tools/entry_name_rules.h"

#include <cstring>
#include <unordered_map>

#include "archive/archive_format.h"
#include "archive/container_checks.h"

namespace {

bool IsTrailByte(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Device names that Windows resolves in every folder, whatever the extension.
bool IsDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices)
    if (base == device) return true;
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// Folds single-byte ASCII letters only: a double-byte character stays as it is.
std::string FoldCase(const std::string& name) {
  std::string folded = name;
  for (size_t i = 0; i < folded.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(folded[i]);
    if (IsShiftJisLeadByte(c)) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      folded[i] = static_cast<char>(c - 'A' + 'a');
    }
  }
  return folded;
}

}  // namespace

std::string EntryNameProblem(const std::string& name) {
  if (name.empty()) return "empty entry name";
  if (name.size() > kMaxNameLength) return "entry name longer than 519 bytes";
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(name.data());
  for (size_t i = 0; i < name.size(); ++i) {
    if (!IsShiftJisLeadByte(bytes[i])) continue;
    if (i + 1 >= name.size() || !IsTrailByte(bytes[i + 1])) return "entry name is not valid Shift-JIS";
    ++i;
  }
  // The stub's own refusal next: it is the one that matters most to say.
  if (!IsSafeEntryName(bytes, name.size(), IsShiftJisLeadByte))
    return "entry name would leave the destination folder";
  size_t componentStart = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    uint8_t c = i < name.size() ? bytes[i] : '\\';
    if (i < name.size() && IsShiftJisLeadByte(c)) {
      ++i;
      continue;
    }
    if (c < 0x20 || std::strchr("<>:\"/|?*", c) != nullptr)
      return "entry name holds a character Windows does not allow in file names";
    if (c != '\\') continue;
    std::string component = name.substr(componentStart, i - componentStart);
    if (component.empty()) return "entry name has an empty folder component";
    if (component.back() == '.' || component.back() == ' ')
      return "entry name has a component ending in a dot or space, which Windows drops";
    if (IsDeviceName(component)) return "entry name uses a Windows device name (CON, NUL, COM1...)";
    componentStart = i + 1;
  }
  return std::string();
}

bool SameNameOnWindows(const std::string& a, const std::string& b) { return FoldCase(a) == FoldCase(b); }

std::vector<NameClash> AllNameClashes(const std::vector<std::string>& names) {
  std::vector<NameClash> clashes;
  std::unordered_map<std::string, size_t> files;
  std::unordered_map<std::string, size_t> folders;  // folded folder -> first entry inside it
  for (size_t i = 0; i < names.size(); ++i) {
    std::string folded = FoldCase(names[i]);
    auto file = files.emplace(folded, i);
    if (!file.second) {
      clashes.push_back(NameClash{i, file.first->second, "two entries have the same name (Windows ignores case)"});
      continue;
    }
    for (size_t p = 0; p < folded.size(); ++p) {
      if (IsShiftJisLeadByte(static_cast<uint8_t>(folded[p]))) {
        ++p;
      } else if (folded[p] == '\\') {
        folders.emplace(folded.substr(0, p), i);
      }
    }
  }
  for (size_t i = 0; i < names.size(); ++i) {
    auto folder = folders.find(FoldCase(names[i]));
    if (folder != folders.end())
      clashes.push_back(NameClash{i, folder->second, "an entry's name is also the folder of other entries"});
  }
  return clashes;
}

std::string NameClashProblem(const std::vector<std::string>& names, size_t* index) {
  std::vector<NameClash> clashes = AllNameClashes(names);
  if (clashes.empty()) return std::string();
  *index = clashes.front().index;
  return clashes.front().problem;
}
