// sfx_timer: times a Windows program for bench/stub_vs_nsis.sh, from inside
// Wine so that every program is timed from the same start (Win32 console
// program).
//
//   sfx_timer run PROGRAM          milliseconds until PROGRAM has ended
//   sfx_timer until-box PROGRAM    milliseconds until PROGRAM shows a message
//                                  box (a self-extracting file's completion
//                                  message); then presses its OK and waits
//                                  until PROGRAM has ended
//
// Prints the milliseconds (with one decimal) on one line.  Exit code 0; 1
// when PROGRAM could not be started, showed no message box within the time
// limit or ended with a code other than 0; 2 for a bad command line.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kPollMs = 2;
constexpr DWORD kLimitMs = 600000;  // a run this long is stuck
constexpr int kMessageTextId = 0xFFFF;

struct BoxSearch {
  DWORD processId;
  HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (GetDlgItem(window, kMessageTextId) == nullptr) return TRUE;
  search->box = window;
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
  if (argc != 3 || (std::strcmp(argv[1], "run") != 0 && std::strcmp(argv[1], "until-box") != 0)) {
    std::fprintf(stderr, "usage: sfx_timer run|until-box PROGRAM\n");
    return 2;
  }
  const bool untilBox = std::strcmp(argv[1], "until-box") == 0;
  char commandLine[MAX_PATH + 3];
  std::snprintf(commandLine, sizeof commandLine, "\"%s\"", argv[2]);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
    return Fail("cannot start the program");
  CloseHandle(child.hThread);

  if (untilBox) {
    BoxSearch search{child.dwProcessId, nullptr};
    for (;;) {
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
      QueryPerformanceCounter(&end);
      if (search.box != nullptr) break;
      if (Milliseconds(start, end) > kLimitMs || WaitForSingleObject(child.hProcess, kPollMs) == WAIT_OBJECT_0)
        return Fail("no message box");
    }
    PostMessageA(search.box, WM_COMMAND, IDOK, 0);
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
