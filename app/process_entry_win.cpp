// The stub's process entry, in place of the C runtime's start-up code.
//
// The stub splits its own command line itself, uses no C runtime state of
// its own and throws nothing, so the full start-up (argument parsing, TLS callbacks,
// pseudo-relocations, exit tables, its own error printing) would only add
// kilobytes to every self-extracting file.  msvcrt.dll initialises itself
// when the loader attaches it, which is all that _beginthread and the string
// functions need.  This entry first restricts where libraries are loaded
// from, then runs the static constructors the compiler left in the
// constructor list (the linker script frames that list with -1 and 0), then
// WinMain, then ends the process with WinMain's result.

#include <windows.h>

#include "app/dll_search.h"

extern "C" {
typedef void (*StaticConstructor)();
// Defined by the linker script: -1, the constructors, 0.
extern StaticConstructor __CTOR_LIST__[];

// Named as the linker's default entry of a GUI program.
void WinMainCRTStartup();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

void WinMainCRTStartup() {
  RestrictDllSearchToSystemFolder();

  // Last to first, as the runtime's own start-up runs them.
  StaticConstructor* last = __CTOR_LIST__ + 1;
  while (*last != nullptr) ++last;
  while (last != __CTOR_LIST__ + 1) (*--last)();

  // WinMain reads the whole command line itself; the show command is not used.
  char noArguments[] = "";
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, noArguments,
                                        SW_SHOWDEFAULT)));
}
