#include "app/dll_search.h"

#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD flags);
typedef BOOL(WINAPI* SetDllDirectoryAFunction)(LPCSTR path);

FARPROC KernelFunction(const char* name) { return GetProcAddress(GetModuleHandleA("kernel32.dll"), name); }

}  // namespace

// A downloaded self-extracting file usually runs from a downloads folder,
// where anyone may have left a DLL named like a system one for a library
// that gets loaded later (by the shell's folder browser, the common controls,
// or the stub's own lookup of a kernel32 function).  Both calls are looked up
// at run time, so that the stub still starts on systems without them.
void RestrictDllSearchToSystemFolder() {
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(KernelFunction("SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  auto setDirectory = reinterpret_cast<SetDllDirectoryAFunction>(
      reinterpret_cast<void*>(KernelFunction("SetDllDirectoryA")));
  if (setDirectory != nullptr) setDirectory("");
}
