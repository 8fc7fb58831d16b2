// Process-wide state the dialogs share with the run sequence; touched on the
// main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

extern HICON AppIcon;          // group icon 130, loaded once by the first dialog
extern uint32_t RequiredSize;  // bytes the output files need, from the archive header
extern HWND ProgressWindow;    // the overwrite question is centred over it
extern HWND DestinationWindow; // the folder browser is centred over it
// The follow-up program will not be started (/X): a complete run then ends
// with the completion message, as one without a follow-up program does.
extern bool FollowUpSkipped;

// Loads AppIcon from the program's own resources unless it is loaded already.
void EnsureAppIcon();
