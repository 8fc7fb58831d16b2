// Small shared window operations: centring, the program's base name, the
// message-box caption, and byte searches in strings.
#pragma once

#include <windows.h>

#include "ui/module_instance.h"
#include "ui/window_logic.h"

// Centres `window` over `reference`, or over the primary screen when
// `reference` is null.  Does nothing when a rectangle cannot be read.
void CentreWindow(HWND window, HWND reference);

// The running program's file name with its extension (at most 259 bytes).
void ModuleBaseName(char* buffer, int capacity);

// The caption of every message box: the base name followed by "の解凍".
const char* AlertCaption();
