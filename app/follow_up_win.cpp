#include "app/follow_up.h"

#include <windows.h>

#include <cstring>

#include "archive/scoped_handle_win.h"
#include "extract/extract_status.h"
#include "extract/run_log.h"
#include "ui/module_instance.h"

char FollowUpCommandLine[kFollowUpCommandLineSize];

namespace {

constexpr DWORD kStartupInfoSize = 68;
static_assert(sizeof(STARTUPINFOA) == kStartupInfoSize, "STARTUPINFOA layout");

}  // namespace

bool LaunchFollowUp(const char* extraArgs, uint32_t* exitCode) {
  if (g_extractStatus.Result.load(std::memory_order_acquire) !=
          static_cast<int32_t>(ResultCode::Done) ||
      g_extractStatus.FollowUpName[0] == '\0') {
    return false;
  }

  char programPath[kProgramPathBufferSize] = {};
  GetModuleFileNameA(AppInstance(), programPath, kProgramPathBufferSize);
  programPath[kProgramPathBufferSize - 1] = '\0';  // a truncated path is not terminated on XP

  // A line that does not fit the fixed buffer is composed whole in a heap
  // buffer: cutting it would start another program or lose arguments.
  size_t length = FollowUpCommandLineLength(DestDir, g_extractStatus.FollowUpName, programPath,
                                            g_extractStatus.FollowUpArgs, extraArgs);
  char* commandLine = FollowUpCommandLine;
  char* grownBuffer = nullptr;
  if (length >= kFollowUpCommandLineSize) {
    grownBuffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 1));
    if (grownBuffer == nullptr) {
      *exitCode = ERROR_NOT_ENOUGH_MEMORY;
      return false;
    }
    commandLine = grownBuffer;
  }
  ComposeFollowUpCommandLine(commandLine, DestDir, g_extractStatus.FollowUpName, programPath,
                             g_extractStatus.FollowUpArgs, extraArgs);
  LogLine(kLogFollowUp, commandLine);

  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = kStartupInfoSize;
  PROCESS_INFORMATION child;
  memset(&child, 0, sizeof child);
  BOOL started = CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                                CREATE_NEW_PROCESS_GROUP, nullptr, DestDir, &startup, &child);
  // The error is taken before anything else can change it.
  const DWORD startError = started ? 0 : GetLastError();
  if (grownBuffer != nullptr) HeapFree(GetProcessHeap(), 0, grownBuffer);
  if (!started) {
    *exitCode = startError != 0 ? startError : ERROR_BAD_EXE_FORMAT;
    return false;
  }
  ScopedHandle(child.hThread).Close();
  ScopedHandle process(child.hProcess);

  // A child without a message queue (a console program) fails this wait at
  // once; it is then simply waited for to end like any other.
  WaitForInputIdle(process.Get(), INFINITE);

  // Sleeps on the process handle until the child has ended.  A failed wait
  // ends the wait too, since nothing more can be learnt about the child.
  // Its exit code is passed on unchanged (3010: a restart is needed).
  WaitForSingleObject(process.Get(), INFINITE);
  DWORD childExitCode = 0;
  if (!GetExitCodeProcess(process.Get(), &childExitCode)) childExitCode = GetLastError();
  *exitCode = childExitCode;
  return true;
}
