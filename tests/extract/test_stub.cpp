// A minimal program that carries a locator resource, for the archive writer
// to append test archives to; the worker tests never run it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
