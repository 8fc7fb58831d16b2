// The overwrite question (template 134): asked on the main thread inside a
// progress tick while the worker waits for the answer.
#include "extract/extract_status.h"
#include "ui/dialogs.h"
#include "ui/resource_ids.h"
#include "ui/ui_state.h"
#include "ui/window_helpers_win.h"

int RunOverwriteDialog() {
  // No owner: the progress dialog stays enabled, so Abort still works.
  return static_cast<int>(DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(IDD_OVERWRITE), nullptr,
                                          OverwriteDialogProc, 0));
}

INT_PTR CALLBACK OverwriteDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextA(window, AlertCaption());
      SetDlgItemTextA(window, IDC_OVERWRITE_PATH, g_extractStatus.OverwritePath);
      HICON question = LoadIconA(nullptr, MAKEINTRESOURCEA(32514));  // IDI_QUESTION
      SendDlgItemMessageA(window, IDC_OVERWRITE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(question), 0);
      CentreWindow(window, ProgressWindow);
      UpdateWindow(window);
      return TRUE;  // focus on the first tab stop, the default "overwrite"
    }
    case WM_COMMAND: {
      // Only the three buttons end the question; Esc (IDCANCEL) does nothing.
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == 0 &&
          (id == IDC_OVERWRITE_ONE || id == IDC_OVERWRITE_ABORT || id == IDC_OVERWRITE_ALL)) {
        EndDialog(window, id);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}
