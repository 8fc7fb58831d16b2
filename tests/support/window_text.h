// Reads a window's text from another process without hanging on it, and
// decodes the texts given on a command line: the test drivers that watch
// and start the stub share both.
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

// A command-line text as given, or "x:E3818F...": UTF-8 bytes in hex, which
// reach a program under Wine intact whatever the locale (the tests' scripts
// pass Japanese texts and exact command lines so).
inline std::wstring DecodeTextArgument(const std::wstring& arg) {
  if (arg.rfind(L"x:", 0) != 0) return arg;
  std::string bytes;
  for (size_t i = 2; i + 1 < arg.size(); i += 2)
    bytes += static_cast<char>(std::stoi(std::wstring(arg, i, 2), nullptr, 16));
  std::wstring wide(bytes.size() + 1, L'\0');
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0],
                              static_cast<int>(wide.size()));
  wide.resize(static_cast<size_t>(n > 0 ? n : 0));
  return wide;
}
