#include <windows.h>

#include "archive/module_instance.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  SaveAppInstance(instance);
  return 0;
}
