// Automatic mode: the destination is picked without asking the user.
#pragma once

#include <cstdint>

// Sets SkipOverwritePrompt, then picks DestDir: the temporary folder when it
// lies on a fixed drive with room, else "_davoexpand\" at the root of the
// first fixed drive with room (with `driveRoot`, that root itself), else the
// temporary folder anyway.  False (after a message box) when the archive
// claims to need 0 bytes, which only a damaged header does, or when there is
// no usable folder at all.
bool ChooseAutomaticDestination(uint32_t requiredSize, bool driveRoot = false);

// Puts the temporary folder into DestDir, ending in a backslash, when the
// system gives a whole, absolute one; else empties DestDir and answers false.
bool ReadTemporaryFolder();

// Whether the drive with this root ("C:\") has at least requiredSize bytes
// free for the calling user.  Any failure to find out answers false.
bool HasFreeSpace(const char* root, uint32_t requiredSize);
