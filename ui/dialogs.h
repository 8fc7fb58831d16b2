// The three modal dialogs.
#pragma once

#include <windows.h>

// Runs the progress dialog, which starts and serves the extraction worker;
// true exactly when the run ended with Done.
bool RunProgressDialog();
INT_PTR CALLBACK ProgressDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The overwrite question: Overwrite (1), Abort (1008), OverwriteAll (1010), or -1.
int RunOverwriteDialog();
INT_PTR CALLBACK OverwriteDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The destination dialog (template 131): end value 1 extract, 2 close.
INT_PTR CALLBACK DestinationDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
