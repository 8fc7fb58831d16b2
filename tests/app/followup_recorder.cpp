// A stand-in follow-up program: records the command line it was given and
// its current directory in "followup-record.txt" in that directory, then, if
// asked with --sleep=<ms>, stays alive that long, or with --wait-event=NAME
// (the last argument), until the named event is set, before writing "end";
// it then ends with the exit code of --exit=N (default 0).  Built
// twice: as a console program (no message queue) and as a GUI program that
// keeps pumping messages, so both kinds of input-idle wait are met.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void WriteLine(HANDLE file, const char* text) {
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  WriteFile(file, "\n", 1, &written, nullptr);
}

void StayAlive(DWORD milliseconds) {
#ifdef RECORDER_GUI
  DWORD until = GetTickCount() + milliseconds;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    DWORD now = GetTickCount();
    if (static_cast<int32_t>(until - now) <= 0) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, until - now, QS_ALLINPUT);
  }
#else
  Sleep(milliseconds);
#endif
}

int Record() {
  const char* commandLine = GetCommandLineA();
  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  HANDLE file = CreateFileA("followup-record.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  WriteLine(file, commandLine);
  WriteLine(file, directory);
  const char* sleep = strstr(commandLine, "--sleep=");
  if (sleep != nullptr) StayAlive(static_cast<DWORD>(atoi(sleep + 8)));
  const char* event = strstr(commandLine, "--wait-event=");
  if (event != nullptr) {
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, event + 13);
    if (release == nullptr) return 1;
    WaitForSingleObject(release, INFINITE);
    CloseHandle(release);
  }
  WriteLine(file, "end");
  CloseHandle(file);
  const char* exitCode = strstr(commandLine, "--exit=");
  return exitCode != nullptr ? atoi(exitCode + 7) : 0;
}

}  // namespace

#ifdef RECORDER_GUI
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return Record(); }
#else
int main() { return Record(); }
#endif
