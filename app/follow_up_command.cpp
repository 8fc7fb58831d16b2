#include "app/follow_up_command.h"

#include <cstring>
#include <initializer_list>

namespace {

constexpr char kProgramOption[] = " /vrek:";

char* Append(char* out, const char* text) {
  size_t length = strlen(text);
  memcpy(out, text, length);
  return out + length;
}

}  // namespace

size_t FollowUpCommandLineLength(const char* destDir, const char* followUpName,
                                 const char* programPath, const char* followUpArgs,
                                 const char* extraArgs) {
  size_t length = 1 + strlen(destDir) + strlen(followUpName) + 1 + strlen(kProgramOption) + 1 +
                  strlen(programPath) + 1;
  if (followUpArgs[0] != '\0') length += 1 + strlen(followUpArgs);
  if (extraArgs[0] != '\0') length += 1 + strlen(extraArgs);
  return length;
}

void ComposeFollowUpCommandLine(char* buffer, const char* destDir, const char* followUpName,
                                const char* programPath, const char* followUpArgs,
                                const char* extraArgs) {
  char* out = buffer;
  out = Append(out, "\"");
  out = Append(out, destDir);
  out = Append(out, followUpName);
  out = Append(out, "\"");
  out = Append(out, kProgramOption);
  out = Append(out, "\"");
  out = Append(out, programPath);
  out = Append(out, "\"");
  for (const char* args : {followUpArgs, extraArgs}) {
    if (args[0] == '\0') continue;
    out = Append(out, " ");
    out = Append(out, args);
  }
  *out = '\0';
}
