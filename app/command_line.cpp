#include "app/command_line.h"

#include <cstring>

namespace {

// Room for a switch, '=' and the longest value, and one byte more: a token
// that fills it is too long for any switch.
constexpr size_t kTokenCapacity = 3 + kSwitchPathBufferSize;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// The program's own path, read as the system's argument splitting reads it:
// up to the closing quote when it begins with one, else up to a blank.
// Neither a quote nor a blank can be the second byte of a double-byte
// character, so bytes are stepped one at a time here and in tokens.
const char* SkipProgramName(const char* p) {
  if (*p != '"') {
    while (*p != '\0' && !IsBlank(*p)) ++p;
    return p;
  }
  ++p;
  while (*p != '\0' && *p != '"') ++p;
  return *p == '"' ? p + 1 : p;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Turns '/' into '\', checks that the path is absolute ("X:\..." or
// "\\server\...", but not the device spaces "\\.\" and "\\?\") and holds no
// character that no Windows path may hold (nor ':' past the drive), and
// makes it end in a backslash; the buffer has room for that byte.  What the
// file system itself refuses (a missing drive, a file in the way) is found
// when the first folder is made.
bool NormaliseDestination(char* path, LeadByteTest isLeadByte) {
  bool endsInBackslash = false;
  size_t index = 0;
  while (path[index] != '\0') {
    char& c = path[index];
    if (isLeadByte(static_cast<uint8_t>(c))) {  // a trail byte may be 0x5C or '|'
      // Half a character, or a lead byte before a byte that cannot follow it.
      if (static_cast<uint8_t>(path[index + 1]) < 0x40) return false;
      index += 2;
      endsInBackslash = false;
      continue;
    }
    if (c == '/') c = '\\';
    if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>\"|?*", c) != nullptr ||
        (c == ':' && index != 1)) {
      return false;
    }
    endsInBackslash = c == '\\';
    ++index;
  }
  const bool drive = IsDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\';
  const bool network = path[0] == '\\' && path[1] == '\\' && path[2] != '\0' && path[2] != '\\' &&
                       path[2] != '.';
  if (!drive && !network) return false;
  if (!endsInBackslash) {
    path[index] = '\\';
    path[index + 1] = '\0';
  }
  return true;
}

}  // namespace

CommandLineVerdict ParseStubCommandLine(const char* commandLine, LeadByteTest isLeadByte,
                                        StubSwitches* switches) {
  std::memset(switches, 0, sizeof *switches);  // Full, no flags, empty paths
  switches->followUpExtra = "";

  // The first fault counts, but every switch is still read, so that /S
  // anywhere keeps the switch list from being shown.
  CommandLineVerdict verdict = CommandLineVerdict::Run;
  bool help = false;
  char token[kTokenCapacity];
  const char* p = SkipProgramName(commandLine);
  while (*(p = SkipBlanks(p)) != '\0') {
    // One argument: up to the next blank outside quotes, the quotes dropped.
    size_t length = 0;
    bool quoted = false;
    for (; *p != '\0' && (quoted || !IsBlank(*p)); ++p) {
      if (*p == '"') {
        quoted = !quoted;
      } else if (length < kTokenCapacity - 1) {
        token[length++] = *p;
      }
    }
    token[length] = '\0';
    if (!quoted && length == 2 && token[0] == '-' && token[1] == '-') {
      switches->followUpExtra = SkipBlanks(p);
      break;
    }

    // A switch: '/' or '-', one letter, and "=value" for /D and /L only.
    CommandLineVerdict found = CommandLineVerdict::Run;
    const char name = length >= 2 ? Upper(token[1]) : '\0';
    const bool hasValue = length >= 3 && token[2] == '=';
    char* path = name == 'D' ? switches->destination : name == 'L' ? switches->logPath : nullptr;
    if (quoted || (token[0] != '/' && token[0] != '-') || (length > 2 && !hasValue) ||
        hasValue != (path != nullptr) || (hasValue && length == 3)) {
      found = CommandLineVerdict::BadSwitch;
    } else if (path != nullptr) {
      if (length - 3 > kSwitchPathMaxLength) found = CommandLineVerdict::PathTooLong;
      else std::memcpy(path, token + 3, length - 3 + 1);
    } else if (name == 'S') {
      switches->ui = UiLevel::Silent;
    } else if (name == 'P') {
      switches->ui = UiLevel::Passive;
    } else if (name == 'X') {
      switches->extractOnly = true;
    } else if (name == '?' || name == 'H') {
      help = true;
    } else {
      found = CommandLineVerdict::BadSwitch;
    }
    if (verdict == CommandLineVerdict::Run) verdict = found;
  }
  if (verdict == CommandLineVerdict::Run && switches->destination[0] != '\0' &&
      !NormaliseDestination(switches->destination, isLeadByte)) {
    verdict = CommandLineVerdict::BadSwitch;
  }
  if (verdict == CommandLineVerdict::Run && help) verdict = CommandLineVerdict::ShowHelp;
  return verdict;
}
