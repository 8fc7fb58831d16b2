// The hand-off: after a successful extraction, the program named by the
// archive is started from the destination folder and waited for.
#pragma once

#include <cstdint>

#include "app/follow_up_command.h"

// The command line is composed here; longer ones get a heap buffer.
extern char FollowUpCommandLine[kFollowUpCommandLineSize];

// Starts DestDir + FollowUpName when the run ended Done and a name is set,
// with DestDir as its current directory and `extraArgs` (from the stub's own
// command line; "" for none) behind the archive's arguments, and returns once
// it has ended; with `everyProcess`, once every process it started has ended
// too (where the system allows: the log says when it does not).  True: it
// ran, and `exitCode` holds its own exit code.  False: nothing was to be
// started (`exitCode` untouched), or the start failed (`exitCode` holds the
// system's error; never 0).
bool LaunchFollowUp(const char* extraArgs, bool everyProcess, uint32_t* exitCode);
