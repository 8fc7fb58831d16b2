// The destination dialog (template 131): where the files go, and whether an
// existing file is overwritten without asking.
#include <windows.h>
#include <shlobj.h>

#include "extract/extract_status.h"
#include "ui/destination_text.h"
#include "ui/dialogs.h"
#include "ui/resource_ids.h"
#include "ui/ui_state.h"
#include "ui/ui_texts.h"
#include "ui/window_helpers_win.h"

namespace {

constexpr int kFolderTextLimit = 260;  // GetDlgItemTextA limit: at most 259 bytes
constexpr int kCaptionSize = kFolderTextLimit + sizeof(kFormatDestinationCaption);

// The Browse button's buffer: the typed folder going in (the browser's
// callback selects it), the chosen folder coming out.  Room for 259 bytes,
// an appended backslash and the terminator.
char BrowsePath[kFolderTextLimit + 2];


void AppendMissingBackslash(char* path) {
  if (!NeedsTrailingBackslash(path, IsSystemLeadByte)) return;
  const int length = lstrlenA(path);
  path[length] = '\\';
  path[length + 1] = '\0';
}

void OnInit(HWND dialog) {
  char name[kFolderTextLimit];
  ModuleBaseName(name, sizeof(name));

  char caption[kCaptionSize];
  wsprintfA(caption, kFormatDestinationCaption, name);
  SetWindowTextA(dialog, caption);

  char message[kDestinationMessageSize];
  FormatDestinationMessage(message, name, RequiredSize);
  SetDlgItemTextA(dialog, IDC_DEST_MESSAGE, message);

  // A folder given on the command line (/D) is proposed as it is; else the
  // temporary folder.  A temporary folder path too long for the buffer
  // leaves the field empty rather than holding whatever the call left behind.
  if (DestDir[0] == '\0') {
    const DWORD length = GetTempPathA(kFolderTextLimit, DestDir);
    if (length == 0 || length >= static_cast<DWORD>(kFolderTextLimit)) DestDir[0] = '\0';
  }
  SetDlgItemTextA(dialog, IDC_DEST_FOLDER, DestDir);

  SkipOverwritePrompt = 1;
  CheckDlgButton(dialog, IDC_DEST_NO_CONFIRM, BST_CHECKED);

  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(AppIcon));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(AppIcon));
  DestinationWindow = dialog;
  CentreWindow(dialog, nullptr);
  UpdateWindow(dialog);
}

void OnExtract(HWND dialog) {
  GetDlgItemTextA(dialog, IDC_DEST_FOLDER, DestDir, kFolderTextLimit);
  AppendMissingBackslash(DestDir);
  SkipOverwritePrompt = IsDlgButtonChecked(dialog, IDC_DEST_NO_CONFIRM) == BST_CHECKED ? 1 : 0;
  EndDialog(dialog, IDOK);
}

// Only the edit field changes here; DestDir changes on Extract alone.
void OnBrowse(HWND dialog) {
  GetDlgItemTextA(dialog, IDC_DEST_FOLDER, BrowsePath, kFolderTextLimit);
  BROWSEINFOA info = {};
  info.hwndOwner = dialog;
  info.pidlRoot = nullptr;
  info.pszDisplayName = BrowsePath;
  info.lpszTitle = kTextBrowseTitle;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  info.lParam = 0;
  info.iImage = 0;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
  if (item == nullptr) return;
  if (SHGetPathFromIDListA(item, BrowsePath)) {
    AppendMissingBackslash(BrowsePath);
    SetDlgItemTextA(dialog, IDC_DEST_FOLDER, BrowsePath);
  }
  ILFree(item);
}

// Extract makes sense only with a folder typed in.
void OnFolderEdited(HWND dialog) {
  const bool hasText = GetWindowTextLengthA(GetDlgItem(dialog, IDC_DEST_FOLDER)) > 0;
  EnableWindow(GetDlgItem(dialog, IDOK), hasText ? TRUE : FALSE);
}

}  // namespace

INT_PTR CALLBACK DestinationDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(window);
      return TRUE;  // focus on the first tab stop, the folder field
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (code == EN_CHANGE && id == IDC_DEST_FOLDER) {
        OnFolderEdited(window);
      } else if (code == 0) {
        if (id == IDOK) OnExtract(window);
        else if (id == IDCANCEL) EndDialog(window, IDCANCEL);
        else if (id == IDC_DEST_BROWSE) OnBrowse(window);
      }
      return TRUE;
    }
    default:
      return FALSE;
  }
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM) {
  if (message == BFFM_INITIALIZED) {
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(BrowsePath));
    CentreWindow(browser, DestinationWindow);
  }
  return 0;
}
