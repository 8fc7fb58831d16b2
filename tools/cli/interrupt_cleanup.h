// Interrupts (SIGINT, SIGTERM, SIGHUP; Ctrl-C, Ctrl-Break and closing the
// console on Windows) end kaito at once.  Before it ends, the files registered
// here are removed, so an interrupted create or extract leaves no temporary
// file behind; the exit status is then the one shells expect: 130 for an
// interrupt, 143 for a termination request, 129 for a hang-up.
#pragma once

#include <filesystem>

// The places for temporary files that an interrupt removes: create's output
// and extract's current file.
enum CleanupSlot { kCleanupOutput = 0, kCleanupExtracted = 1, kCleanupSlotCount = 2 };

// Installs the handlers; calling it again does nothing.
void InstallInterruptCleanup();
// Registers `path` in `slot` (an empty path clears the slot).
void SetInterruptCleanup(CleanupSlot slot, const std::filesystem::path& path);
