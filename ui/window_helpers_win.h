// Small shared window operations: centring, the program's base name, the
// message-box caption, and byte searches in strings.
#pragma once

#include <windows.h>

#include "ui/module_instance.h"
#include "ui/window_helpers.h"

// Centres `window` over `reference`, or over the primary screen when
// `reference` is null.  Does nothing when a rectangle cannot be read.
void CentreWindow(HWND window, HWND reference);

// The running program's file name with its extension (at most 259 bytes).
void ModuleBaseName(char* buffer, int capacity);

// The caption of every message box: the base name followed by "の解凍".
const char* AlertCaption();

// A message box with OK, the icon in `flags` and AlertCaption, unless the run
// is unattended (/S or /P), which shows no message: the exit code and the
// log tell the outcome instead.
void ShowMessageBox(HWND owner, const char* text, UINT flags);
