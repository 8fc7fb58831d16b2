#include "ui/window_helpers_win.h"

#include "extract/extract_status.h"
#include "ui/ui_texts.h"

namespace {

constexpr int kModulePathSize = 260;
constexpr int kAlertCaptionSize = 266;  // 259 bytes of name, "の解凍" (6), terminator

}  // namespace

void CentreWindow(HWND window, HWND reference) {
  RECT own;
  if (!GetWindowRect(window, &own)) return;
  const int width = own.right - own.left;
  const int height = own.bottom - own.top;

  // A reference whose rectangle cannot be read is treated like none: the
  // window still ends up somewhere sensible, on the screen's centre.
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT referenceRect;
  if (reference != nullptr && GetWindowRect(reference, &referenceRect)) area = referenceRect;

  const int x = area.left + CentredOffset(area.right - area.left, width);
  const int y = area.top + CentredOffset(area.bottom - area.top, height);
  MoveWindow(window, x, y, width, height, TRUE);
}

void ModuleBaseName(char* buffer, int capacity) {
  if (capacity <= 0) return;
  char path[kModulePathSize] = {};
  GetModuleFileNameA(AppInstance(), path, kModulePathSize);
  path[kModulePathSize - 1] = '\0';
  lstrcpynA(buffer, path + BaseNameStart(path, IsSystemLeadByte), capacity);
}

const char* AlertCaption() {
  static char caption[kAlertCaptionSize];
  ModuleBaseName(caption, kModulePathSize);
  lstrcatA(caption, kTextAlertCaptionSuffix);
  return caption;
}

void ShowMessageBox(HWND owner, const char* text, UINT flags) {
  if (g_uiLevel == UiLevel::Full) MessageBoxA(owner, text, AlertCaption(), MB_OK | flags);
}
