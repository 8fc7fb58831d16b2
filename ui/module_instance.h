// The running program's instance handle, saved by the entry point before
// anything else; every resource lookup and module-path query uses it.
#pragma once

#include <windows.h>

void SaveAppInstance(HINSTANCE instance);
HINSTANCE AppInstance();
