// The stub's own command line, for unattended installs: Windows-style
// switches that choose how much the user sees, where the files go, whether
// the follow-up program runs, a log, and extra arguments for that program.
// Portable, so the parser is tested and fuzzed natively.
//
//   /S          silent: no window at all; existing files are replaced
//   /P          passive: the progress dialog only, no question or message
//   /D=PATH     destination folder: absolute, a drive or a network path
//   /X          extract only: the follow-up program is not started
//   /L=FILE     append a log of the run to FILE
//   /? or /H    show the switch list
//   -- TEXT     TEXT goes to the follow-up program's command line as it is
//
// A switch begins with '/' or '-' and is matched without regard to case; a
// value follows '='.  Double quotes group text with spaces and are removed
// ("/D=C:\My App" and /D="C:\My App" are the same); a backslash is always a
// plain character, so a quoted folder may end in one.  When a switch is given
// twice the last one counts; /S and /P are one setting, so the later of the
// two wins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/lead_byte.h"
#include "extract/extract_status.h"  // UiLevel

enum class CommandLineVerdict {
  Run,          // go ahead with the switches found
  ShowHelp,     // /? or /H, and nothing wrong
  BadSwitch,    // an unknown switch, a missing or unwanted value, a relative
                // or malformed /D, unbalanced quotes
  PathTooLong,  // a /D or /L value over the path limit
};

// A /D or /L value may hold 259 bytes; /D gets a backslash appended.
constexpr size_t kSwitchPathMaxLength = 259;
constexpr size_t kSwitchPathBufferSize = kSwitchPathMaxLength + 2;

struct StubSwitches {
  UiLevel ui;
  bool extractOnly;
  // Empty when not given; else absolute and ending in a backslash.
  char destination[kSwitchPathBufferSize];
  // Empty when not given.
  char logPath[kSwitchPathBufferSize];
  // The text behind "--" as it stands in the command line (quotes kept);
  // points into it, or at an empty string.
  const char* followUpExtra;
};

// Parses a whole command line as the system hands it over (the program's
// own path first, which is skipped).  Every field of `switches` is set, also
// when the verdict is not Run: the ui level then tells whether the switch
// list may be shown.  Never reads past the terminator, whatever the length.
CommandLineVerdict ParseStubCommandLine(const char* commandLine, LeadByteTest isLeadByte,
                                        StubSwitches* switches);
