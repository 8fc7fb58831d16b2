// Reads a window's text from another process without hanging on it: the
// test drivers that watch the stub's windows share it.
#pragma once

#include <windows.h>

#include <string>

// WM_GETTEXT answers even when the owning thread is busy in a modal loop; a
// window that does not answer within 2 s reads as empty.
inline std::wstring TextOf(HWND window) {
  wchar_t buffer[2048];
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                           2000, &length))
    return L"";
  return std::wstring(buffer, static_cast<size_t>(length));
}
