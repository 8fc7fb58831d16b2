// wine_warmup: creates and destroys one window, so that the Wine prefix's
// desktop and display connection are up before the tests start.  The first
// window of a fresh prefix can take a long while on a busy machine; a test
// that happened to create it would run into its time limit.
#include <windows.h>

int main() {
  HWND window = CreateWindowExA(0, "STATIC", "kaito warm-up", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return 1;
  DestroyWindow(window);
  return 0;
}
