// sfx_timer: times a Windows program for bench/stub_vs_nsis.sh, from inside
// Wine so that every program is timed from the same start (Win32 console
// program).
//
//   sfx_timer run PROGRAM [ARG...]        milliseconds until PROGRAM has ended
//   sfx_timer until-box PROGRAM [ARG...]  milliseconds until PROGRAM's first
//                                  thread shows a message box (a self-extracting
//                                  file's completion message); then presses
//                                  its OK and waits until PROGRAM has ended
// The ARGs follow the quoted PROGRAM on its command line, each after a space.
//
// The box is looked for among the windows of PROGRAM's first thread only:
// every window query is a request to Wine's server, which the timed program
// needs too, so a search through every window of the desktop every 2 ms
// slowed the program it timed (about half of all server requests of a run).
// A timing ends at the first look that finds the box: up to one poll
// interval late.
//
// Prints the milliseconds (with one decimal) on one line.  Exit code 0; 1
// when PROGRAM could not be started, showed no message box within the time
// limit or ended with a code other than 0; 2 for a bad command line.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// Each look costs the timed program's server about a dozen requests, so
// looking every 2 ms slowed it; 10 ms bounds the error of one timing.
constexpr DWORD kPollMs = 10;
constexpr DWORD kLimitMs = 600000;  // a run this long is stuck
constexpr int kMessageTextId = 0xFFFF;

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  if (!IsWindowVisible(window) || GetDlgItem(window, kMessageTextId) == nullptr) return TRUE;
  *reinterpret_cast<HWND*>(param) = window;
  return FALSE;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int Fail(const char* why) {
  std::fprintf(stderr, "sfx_timer: %s\n", why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (std::strcmp(argv[1], "run") != 0 && std::strcmp(argv[1], "until-box") != 0)) {
    std::fprintf(stderr, "usage: sfx_timer run|until-box PROGRAM [ARG...]\n");
    return 2;
  }
  const bool untilBox = std::strcmp(argv[1], "until-box") == 0;
  char commandLine[4 * MAX_PATH];
  int length = std::snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[2]);
  for (int i = 3; i < argc && length > 0 && length < static_cast<int>(sizeof commandLine); ++i)
    length += std::snprintf(commandLine + length, sizeof commandLine - length, " %s", argv[i]);
  if (length <= 0 || length >= static_cast<int>(sizeof commandLine)) return Fail("command line too long");

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
    return Fail("cannot start the program");
  CloseHandle(child.hThread);

  if (untilBox) {
    HWND box = nullptr;
    for (;;) {
      EnumThreadWindows(child.dwThreadId, FindBox, reinterpret_cast<LPARAM>(&box));
      QueryPerformanceCounter(&end);
      if (box != nullptr) break;
      if (Milliseconds(start, end) > kLimitMs || WaitForSingleObject(child.hProcess, kPollMs) == WAIT_OBJECT_0)
        return Fail("no message box");
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitForSingleObject(child.hProcess, kLimitMs);
  } else {
    WaitForSingleObject(child.hProcess, kLimitMs);
    QueryPerformanceCounter(&end);
  }
  DWORD exitCode = 1;
  GetExitCodeProcess(child.hProcess, &exitCode);
  CloseHandle(child.hProcess);
  if (exitCode != 0) return Fail("the program did not end with exit code 0");
  std::printf("%.1f\n", Milliseconds(start, end));
  return 0;
}
