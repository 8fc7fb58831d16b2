#include <windows.h>

#include <commctrl.h>

#include "app/run_sequence.h"
#include "ui/module_instance.h"

// The stub takes nothing from its command line and always exits with 0: what
// went wrong has been shown in a message box by then.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  SaveAppInstance(instance);
  InitCommonControls();  // the progress dialog's bar class
  RunStub();
  return 0;
}
