// The stub's run: read the command line, choose the destination, extract
// (under the progress dialog, or without a window), hand off to the
// follow-up program; each phase gated by the one before.
#pragma once

#include <cstdint>

#include "app/command_line.h"

// Set from the archive header by ReadArchiveSummary; false when the header
// can't be read, which leads to the destination dialog.
extern int AutomaticMode;

// The switches of the stub's own command line.
extern StubSwitches g_switches;

// Phase 1: reads the archive summary into RequiredSize and AutomaticMode,
// then asks the user (destination dialog), takes the folder of /D, picks one
// automatically, or, unattended, takes the temporary folder.  True when
// DestDir and SkipOverwritePrompt are set and extraction may start; else
// `exitCode` says why not.
bool ChooseDestination(uint32_t* exitCode);

// The whole run for this command line (the program's own path first).
// Returns the process's exit code: 0 when every file was written and a
// follow-up program, if one ran, ended with 0; that program's own exit code;
// or the Windows error number of what stopped the run (app/exit_codes.h).
uint32_t RunStub(const char* commandLine);
