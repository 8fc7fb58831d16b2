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

// Puts the suspended program into a new job whose completion port is told
// when the job's last process has ended; every process it starts joins the
// job.  False when that cannot be had: before Windows 8 a process that runs
// in a job already (some deployment agents start the stub in one) cannot be
// put in another.
bool PutInJob(HANDLE process, ScopedHandle* job, ScopedHandle* port) {
  job->Reset(CreateJobObjectA(nullptr, nullptr));
  port->Reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT link;
  link.CompletionKey = nullptr;
  link.CompletionPort = port->Get();
  return job->IsOpen() && port->IsOpen() &&
         SetInformationJobObject(job->Get(), JobObjectAssociateCompletionPortInformation, &link,
                                 sizeof link) &&
         AssignProcessToJobObject(job->Get(), process);
}

// Sleeps until the job's completion port says that no process is left.
void WaitForEmptyJob(HANDLE port) {
  DWORD message = 0;
  ULONG_PTR key;
  LPOVERLAPPED overlapped;
  while (message != JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO &&
         GetQueuedCompletionStatus(port, &message, &key, &overlapped, INFINITE)) {
  }
}

}  // namespace

bool LaunchFollowUp(const char* extraArgs, bool everyProcess, uint32_t* exitCode) {
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
  // Waiting for every process needs the program in a job before it runs.
  const DWORD flags = CREATE_NEW_PROCESS_GROUP | (everyProcess ? CREATE_SUSPENDED : 0);
  BOOL started = CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, flags, nullptr,
                                DestDir, &startup, &child);
  // The error is taken before anything else can change it.
  const DWORD startError = started ? 0 : GetLastError();
  if (grownBuffer != nullptr) HeapFree(GetProcessHeap(), 0, grownBuffer);
  if (!started) {
    *exitCode = startError != 0 ? startError : ERROR_BAD_EXE_FORMAT;
    return false;
  }
  ScopedHandle thread(child.hThread);
  ScopedHandle process(child.hProcess);
  ScopedHandle job, port;
  if (everyProcess) {
    if (PutInJob(process.Get(), &job, &port)) {
      ResumeThread(thread.Get());
      WaitForEmptyJob(port.Get());
    } else {
      LogLine(kLogNoJob, "");
      ResumeThread(thread.Get());
    }
  }
  thread.Close();

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
