// Prepares and opens one output file: makes missing folders, applies the
// overwrite policy, clears a read-only attribute and creates the file empty.
#pragma once

#include <windows.h>

HANDLE CreateOutputFile(const char* path);
