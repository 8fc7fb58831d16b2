// Any bytes as the stub's command line: the parser never reads past the
// terminator (the input sits at the end of its own heap block), and what it
// accepts is what the stub may use: an absolute destination that ends in a
// backslash and fits DestDir, paths within their limits, and extra text
// taken from the line itself.
#include <cstring>
#include <vector>

#include "app/command_line.h"
#include "fuzz/fuzz_target.h"

namespace {

bool IsAbsoluteFolder(const char* path) {
  const size_t length = std::strlen(path);
  const bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' && path[2] == '\\';
  const bool network = path[0] == '\\' && path[1] == '\\' && path[2] != '\\' && path[2] != '\0';
  return (drive || network) && length <= kSwitchPathMaxLength + 1 && path[length - 1] == '\\' &&
         std::strchr(path, '/') == nullptr && std::strpbrk(path, "<>\"?*") == nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> line(data, data + size);
  line.push_back('\0');
  const char* end = line.data() + std::strlen(line.data());
  StubSwitches switches;
  const CommandLineVerdict verdict = ParseStubCommandLine(line.data(), IsShiftJisLeadByte, &switches);
  FUZZ_CHECK(std::strlen(switches.logPath) <= kSwitchPathMaxLength);
  FUZZ_CHECK(std::strlen(switches.destination) <= kSwitchPathMaxLength + 1);
  FUZZ_CHECK(switches.ui == UiLevel::Full || switches.ui == UiLevel::Passive ||
             switches.ui == UiLevel::Silent);
  if (verdict != CommandLineVerdict::Run) return 0;
  FUZZ_CHECK(switches.destination[0] == '\0' || IsAbsoluteFolder(switches.destination));
  FUZZ_CHECK(switches.followUpExtra[0] == '\0' ||
             (switches.followUpExtra >= line.data() && switches.followUpExtra < end));
  return 0;
}
