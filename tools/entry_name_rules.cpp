#include "tools/entry_name_rules.h"

#include <cstdio>
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

// "':' (U+003A)", or the code alone for a control character.
std::string CharacterShown(uint8_t c) {
  char text[24];
  if (c < 0x20 || c == 0x7F)
    std::snprintf(text, sizeof text, "U+%04X", c);
  else
    std::snprintf(text, sizeof text, "'%c' (U+%04X)", c, c);
  return text;
}

}  // namespace

std::string EntryNameProblem(const std::string& name) {
  if (name.empty()) return "empty entry name";
  if (name.size() > kMaxNameLength)
    return "entry name takes " + std::to_string(name.size()) + " bytes in code page 932; at most " +
           std::to_string(kMaxNameLength) + " fit";
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(name.data());
  for (size_t i = 0; i < name.size(); ++i) {
    if (!IsShiftJisLeadByte(bytes[i])) continue;
    if (i + 1 >= name.size() || !IsTrailByte(bytes[i + 1])) return "entry name is not valid Shift-JIS";
    ++i;
  }
  // Characters first: a ':' would else be called a way out of the folder.
  for (size_t i = 0; i < name.size(); ++i) {
    if (IsShiftJisLeadByte(bytes[i])) {
      ++i;
    } else if (bytes[i] < 0x20 || std::strchr("<>:\"/|?*", bytes[i]) != nullptr) {
      return "entry name holds " + CharacterShown(bytes[i]) + ", which Windows does not allow in file names";
    }
  }
  if (!IsSafeEntryName(bytes, name.size(), IsShiftJisLeadByte))
    return "entry name would leave the destination folder";
  size_t componentStart = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    uint8_t c = i < name.size() ? bytes[i] : '\\';
    if (i < name.size() && IsShiftJisLeadByte(c)) {
      ++i;
      continue;
    }
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

std::vector<NameClash> AllNameClashes(const std::vector<std::string>& keys, LeadByteTest isLeadByte) {
  std::vector<NameClash> clashes;
  std::unordered_map<std::string, size_t> files;
  std::unordered_map<std::string, size_t> folders;  // folder -> first entry inside it
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::string& folded = keys[i];
    auto file = files.emplace(folded, i);
    if (!file.second) {
      clashes.push_back(NameClash{i, file.first->second, "two entries have the same name (Windows ignores case)"});
      continue;
    }
    for (size_t p = 0; p < folded.size(); ++p) {
      if (isLeadByte != nullptr && isLeadByte(static_cast<uint8_t>(folded[p]))) {
        ++p;
      } else if (folded[p] == '\\') {
        folders.emplace(folded.substr(0, p), i);
      }
    }
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    auto folder = folders.find(keys[i]);
    if (folder != folders.end())
      clashes.push_back(NameClash{i, folder->second, "an entry's name is also the folder of other entries"});
  }
  return clashes;
}

std::string NameClashProblem(const std::vector<std::string>& names, size_t* index) {
  std::vector<std::string> keys;
  for (const std::string& name : names) keys.push_back(FoldCase(name));
  std::vector<NameClash> clashes = AllNameClashes(keys, IsShiftJisLeadByte);
  if (clashes.empty()) return std::string();
  *index = clashes.front().index;
  return clashes.front().problem;
}
