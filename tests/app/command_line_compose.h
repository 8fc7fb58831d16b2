// The follow-up command line as one string, with the composer's promises
// checked on the way: the terminator at the announced length, no zero inside.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/follow_up_command.h"

inline std::string Compose(const char* destDir, const char* name, const char* program, const char* args,
                           const char* extra = "") {
  std::string line(FollowUpCommandLineLength(destDir, name, program, args, extra) + 1, '#');
  ComposeFollowUpCommandLine(&line[0], destDir, name, program, args, extra);
  EXPECT_EQ(line.back(), '\0') << "terminator at the announced length";
  line.pop_back();
  EXPECT_EQ(line.find('\0'), std::string::npos);
  return line;
}
