// Small shared window operations: centring, the program's base name, the
// message-box caption, and byte searches in strings.
#pragma once

#include <windows.h>

#include "archive/module_instance.h"

void CentreWindow(HWND window, HWND reference);
void ModuleBaseName(char* buffer, int capacity);
const char* AlertCaption();
int FindChar(const char* text, int character);
int FindLastChar(const char* text, int character);
