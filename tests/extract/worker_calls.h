// Watches and steers the system calls that the worker thread makes, through
// this program's import table: which files it opened, how often it read and
// wrote, which times it handed to SetFileTime, and scripted faults and Abort
// presses at exact places in its run.  Also tracks the worker thread itself,
// so a run can wait for the thread's real end.  Calls made on other threads
// pass through untouched.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "extract/extract_status.h"

// Counts are 1-based over the calls of one run on the worker thread; 0: never.
struct CallScript {
  int failReadAt = 0;            // that ReadFile fails (error 23, data error)
  int cancelAtRead = 0;          // that ReadFile sets CancelRequested after it succeeds
  bool cancelAtArchiveOpen = false;  // the first CreateFileA sets CancelRequested after it succeeds
  int failWriteAt = 0;           // that WriteFile fails (disk full)
  int shortWriteAt = 0;          // that WriteFile succeeds but writes only half
  int failZeroedAllocAt = 0;     // that zero-filled HeapAlloc answers null
};

struct CreateFileCall {
  std::string path;
  DWORD access;
  DWORD share;
  DWORD disposition;
  bool inheritable;
  bool succeeded;
};

struct FileTimeCall {
  FILETIME creation;
  FILETIME lastAccess;
  FILETIME lastWrite;
};

struct WorkerCallRecord {
  int reads = 0;
  int writes = 0;
  std::vector<CreateFileCall> creates;
  std::vector<FileTimeCall> fileTimes;
  std::vector<std::string> folderLookups;  // FindFirstFileA paths
  std::vector<std::string> folderCreates;  // CreateDirectoryA paths
  unsigned threadStackSize = 1;  // as asked of the runtime's thread start
  bool threadArgument = true;    // whether a non-null argument was passed
};

void InstallWorkerHooks();
// Process-heap blocks taken through this program's HeapAlloc and not yet
// freed (installs the hooks first).
long LiveHeapBlocks();
void BeginWorkerRun(const CallScript& script);
const WorkerCallRecord& WorkerCalls();

// After the worker function has returned, its thread parks until released,
// so that the tests can look at it before it ends.
bool WaitForWorkerReturn(DWORD milliseconds);
DWORD WorkerThreadId();
// Lets the parked thread end and waits until it has; closes the tracking handle.
void ReleaseWorkerThread();
