// The follow-up program's command line, composed from its pieces.  Portable,
// so it is tested natively; the launch itself is in follow_up_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kFollowUpCommandLineSize = 792;  // 791 characters and the terminator
constexpr uint32_t kProgramPathBufferSize = 520;

// Length, without the terminator, of
//   "<destDir><followUpName>" /vrek:"<programPath>"[ <followUpArgs>][ <extraArgs>]
// where followUpArgs come from the archive and extraArgs from the stub's own
// command line (behind "--").  The pieces are copied as they are; nothing is
// escaped.
size_t FollowUpCommandLineLength(const char* destDir, const char* followUpName,
                                 const char* programPath, const char* followUpArgs,
                                 const char* extraArgs);

// Writes that command line and its terminator into buffer, which must hold
// FollowUpCommandLineLength(...) + 1 bytes.
void ComposeFollowUpCommandLine(char* buffer, const char* destDir, const char* followUpName,
                                const char* programPath, const char* followUpArgs,
                                const char* extraArgs);
