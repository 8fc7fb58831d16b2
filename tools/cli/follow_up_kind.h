// Which packed files the stub can start as its follow-up program.  The stub
// hands the file's quoted full path to CreateProcessA as the command line,
// without an application name.  Measured so under Wine 8.0: every Windows
// program image starts whatever its name ends in (.exe, .com, .scr, ...), a
// .bat or .cmd file starts through the command interpreter, and anything
// else fails with ERROR_BAD_EXE_FORMAT (.msi, .txt, .vbs, .ps1, .lnk, .hta,
// a DLL) or, for a DOS program, ends at once for want of DOS emulation.
// Windows appends ".exe" to a name without an extension, so such a name
// would find another file or none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How much of the file's beginning FollowUpProblem wants to see.
constexpr size_t kFollowUpHeadSize = 64 * 1024;

// Empty when the stub can start the file `name` (UTF-8, '\' between
// folders), whose first bytes are `head`; otherwise why not, with what to do.
std::string FollowUpProblem(const std::string& name, const uint8_t* head, size_t size);
