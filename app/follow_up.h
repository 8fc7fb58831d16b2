// The hand-off: after a successful extraction, the program named by the
// archive is started from the destination folder and waited for.
#pragma once

#include "app/follow_up_command.h"

// The command line is composed here; longer ones get a heap buffer.
extern char FollowUpCommandLine[kFollowUpCommandLineSize];

// Starts DestDir + FollowUpName when the run ended Done and a name is set,
// with DestDir as its current directory, and returns once it has ended.
// False when nothing was to be started or the start failed.
bool LaunchFollowUp();
