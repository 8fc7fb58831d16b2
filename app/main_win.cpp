#include <windows.h>

#include <commctrl.h>

#include "app/run_sequence.h"
#include "ui/module_instance.h"

// The switches are read from the whole command line, the program's own path
// first; what went wrong has been shown (unless the run is unattended) and
// is told by the exit code.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  SaveAppInstance(instance);
  InitCommonControls();  // the progress dialog's bar class
  return static_cast<int>(RunStub(GetCommandLineA()));
}
