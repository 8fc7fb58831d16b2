// The hand-off: after a successful extraction, the program named by the
// archive is started from the destination folder and waited for.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kFollowUpCommandLineSize = 792;  // 791 characters and the terminator
constexpr uint32_t kProgramPathBufferSize = 520;

// The command line is composed here; longer ones get a heap buffer.
extern char FollowUpCommandLine[kFollowUpCommandLineSize];

// Length, without the terminator, of
//   "<destDir><followUpName>" /vrek:"<programPath>"[ <followUpArgs>]
// The pieces are copied as they are; nothing is escaped.
size_t FollowUpCommandLineLength(const char* destDir, const char* followUpName,
                                 const char* programPath, const char* followUpArgs);

// Writes that command line and its terminator into buffer, which must hold
// FollowUpCommandLineLength(...) + 1 bytes.
void ComposeFollowUpCommandLine(char* buffer, const char* destDir, const char* followUpName,
                                const char* programPath, const char* followUpArgs);

// Starts DestDir + FollowUpName when the run ended Done and a name is set,
// with DestDir as its current directory, and returns once it has ended.
// False when nothing was to be started or the start failed.
bool LaunchFollowUp();
