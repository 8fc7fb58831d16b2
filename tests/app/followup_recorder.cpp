// A stand-in follow-up program: records the command line it was given and
// its current directory, then, if asked with --sleep=<ms>, stays alive that
// long, or with --wait-event=NAME (the last argument), until the named event
// is set, before writing "end"; it then ends with the exit code of --exit=N
// (default 0).  Built twice: as a console program (no message queue) and as
// a GUI program that keeps pumping messages, so both kinds of input-idle
// wait are met.  For the installer wrapper's tests:
//   --record=PATH   the record goes to PATH (the last argument) instead of
//                   "followup-record.txt" in the current directory;
//   --spawn=MS      first starts a copy of itself that outlives it: the copy
//                   sleeps MS, then appends "child end, folder kept" (or
//                   "... folder gone") to the same record, telling whether
//                   its own program file still exists;
//   --hold=PATH     keeps PATH (the last argument) open without sharing for
//                   as long as it runs.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

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

// The text behind `option` up to the end of the command line.
const char* LastArgument(const char* commandLine, const char* option) {
  const char* found = strstr(commandLine, option);
  return found != nullptr ? found + strlen(option) : nullptr;
}

HANDLE OpenRecord(const char* commandLine, DWORD disposition) {
  const char* path = LastArgument(commandLine, "--record=");
  return CreateFileA(path != nullptr ? path : "followup-record.txt", GENERIC_WRITE, FILE_SHARE_READ,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The copy started by --spawn: outlives its parent, then tells whether the
// folder it runs from is still there.
int RunAsChild(const char* commandLine, DWORD milliseconds) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  Sleep(milliseconds);
  const bool kept = GetFileAttributesA(self) != INVALID_FILE_ATTRIBUTES;
  HANDLE record = OpenRecord(commandLine, OPEN_ALWAYS);
  if (record == INVALID_HANDLE_VALUE) return 1;
  SetFilePointer(record, 0, nullptr, FILE_END);
  WriteLine(record, kept ? "child end, folder kept" : "child end, folder gone");
  CloseHandle(record);
  return 0;
}

bool Spawn(const char* commandLine, const char* milliseconds) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string line = std::string("\"") + self + "\" --child=" + std::to_string(atoi(milliseconds));
  const char* record = LastArgument(commandLine, "--record=");
  if (record != nullptr) line += std::string(" --record=") + record;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
    return false;
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return true;
}

int Record() {
  const char* commandLine = GetCommandLineA();
  const char* childSleep = strstr(commandLine, "--child=");
  if (childSleep != nullptr) return RunAsChild(commandLine, static_cast<DWORD>(atoi(childSleep + 8)));

  char directory[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, directory);
  HANDLE file = OpenRecord(commandLine, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return 1;
  WriteLine(file, commandLine);
  WriteLine(file, directory);
  const char* spawn = strstr(commandLine, "--spawn=");
  if (spawn != nullptr && !Spawn(commandLine, spawn + 8)) WriteLine(file, "spawn failed");
  const char* holdPath = LastArgument(commandLine, "--hold=");
  HANDLE held = holdPath != nullptr ? CreateFileA(holdPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr)
                                    : INVALID_HANDLE_VALUE;
  if (holdPath != nullptr) WriteLine(file, held != INVALID_HANDLE_VALUE ? "holding" : "hold failed");
  const char* sleep = strstr(commandLine, "--sleep=");
  if (sleep != nullptr) StayAlive(static_cast<DWORD>(atoi(sleep + 8)));
  const char* event = LastArgument(commandLine, "--wait-event=");
  if (event != nullptr) {
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, event);
    if (release == nullptr) return 1;
    WaitForSingleObject(release, INFINITE);
    CloseHandle(release);
  }
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
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
