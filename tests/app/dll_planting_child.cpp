// Loads a library by name the way the shell and the common controls do once
// the stub runs, after RestrictDllSearchToSystemFolder when asked to
// ("restricted"), and prints the file it got (or "none").
//   dll_planting_child.exe restricted|unrestricted LIBRARY
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/dll_search.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  if (std::strcmp(argv[1], "restricted") == 0) RestrictDllSearchToSystemFolder();
  HMODULE library = LoadLibraryA(argv[2]);
  char path[MAX_PATH] = "none";
  if (library != nullptr) GetModuleFileNameA(library, path, MAX_PATH);
  std::printf("%s\n", path);
  return 0;
}
