// run_watched: starts a program with an exact command line, watches its
// top-level windows for as long as it runs, and prints its whole exit code
// (Win32 console program; `wine PROGRAM` passes on only the low 8 bits).
//
//   run_watched [close] COMMAND_LINE
//
// COMMAND_LINE is taken as given, or as x:HEX (its UTF-8 bytes in hex) so
// that quotes and spaces reach the program exactly as written.  With
// "close", the first visible window of the program is sent IDCANCEL (a
// dialog's Close, a message box's OK), once.  Prints, one per line:
//   exit N              the exit code, in decimal
//   visible K           visible top-level windows of the program seen
//   window CAPTION      each of them, in the order they were seen
// Exit code: 0 when the program ran to its end, 1 when it could not be
// started or did not end within 120 s, 2 for a bad command line.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/window_text.h"

namespace {

constexpr DWORD kPollMs = 2;  // a window shown for a moment is still seen
constexpr DWORD kLimitMs = 120000;

struct Watch {
  DWORD process;
  std::vector<HWND> seen;
  std::vector<std::wstring> captions;  // read when first seen: a closed window has none
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
  Watch* watch = reinterpret_cast<Watch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != watch->process || !IsWindowVisible(window)) return TRUE;
  for (HWND known : watch->seen)
    if (known == window) return TRUE;
  watch->seen.push_back(window);
  watch->captions.push_back(TextOf(window));
  return TRUE;
}

void Print(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                      nullptr);
  bytes += '\n';
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  const bool close = argc == 3 && std::wstring(argv[1]) == L"close";
  if (argc != 2 && !close) {
    Print(L"usage: run_watched [close] COMMAND_LINE");
    return 2;
  }
  std::wstring commandLine = DecodeTextArgument(argv[argc - 1]);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &child)) {
    Print(L"cannot start: error " + std::to_wstring(GetLastError()));
    return 1;
  }
  CloseHandle(child.hThread);
  Watch watch{child.dwProcessId, {}, {}};
  bool closed = false;
  const DWORD start = GetTickCount();
  for (;;) {
    const bool ended = WaitForSingleObject(child.hProcess, kPollMs) == WAIT_OBJECT_0;
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&watch));
    if (close && !closed && !watch.seen.empty()) {
      PostMessageW(watch.seen.front(), WM_COMMAND, IDCANCEL, 0);
      closed = true;
    }
    if (ended) break;
    if (GetTickCount() - start > kLimitMs) {
      TerminateProcess(child.hProcess, 1);
      Print(L"no end within the time limit");
      return 1;
    }
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(child.hProcess, &exitCode);
  CloseHandle(child.hProcess);
  Print(L"exit " + std::to_wstring(exitCode));
  Print(L"visible " + std::to_wstring(watch.seen.size()));
  for (const std::wstring& caption : watch.captions) Print(L"window " + caption);
  return 0;
}
