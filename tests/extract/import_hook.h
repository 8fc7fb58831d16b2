// Redirects one of this program's imported functions to a replacement by
// rewriting its slot in the import address table.  Everything linked into the
// test program (the worker, the reader, the decoder) calls the system through
// those slots, so the tests can watch and steer those calls without any hook
// in the product code.
#pragma once

// Returns the function the slot held before, or null when the program does
// not import `function` from `dll` by name.
void* HookImport(const char* dll, const char* function, void* replacement);
