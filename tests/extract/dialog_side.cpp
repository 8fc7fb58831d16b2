#include "dialog_side.h"

#include <windows.h>

#include <cstdlib>

#include "extract/worker_thread.h"
#include "worker_calls.h"

namespace {

// A run that has not finished by then is stuck; the test reports it.  Far
// above any real run: a run of 1,000 files takes 20 s on a loaded machine.
constexpr DWORD kRunLimitMs = 120000;

// The system's handle table entry layout (SystemHandleInformation, class 16).
struct SystemHandleEntry {
  ULONG processId;
  BYTE objectType;
  BYTE flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
struct SystemHandleTable {
  ULONG count;
  SystemHandleEntry entries[1];
};
using QuerySystemInformationFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

}  // namespace

ServedRequest PercentRequest(int32_t percent) { return {ServedRequest::Percent, percent, ""}; }
ServedRequest CaptionRequest(const std::string& entryName) {
  return {ServedRequest::Caption, 0, entryName};
}
ServedRequest AlertRequest(AlertCode code, const std::string& overwritePath) {
  return {ServedRequest::Alert, static_cast<int32_t>(code), overwritePath};
}

std::string Describe(const ServedRequest& request) {
  switch (request.kind) {
    case ServedRequest::Percent: return "percent " + std::to_string(request.value);
    case ServedRequest::Caption: return "caption " + request.text;
    default: return "alert " + std::to_string(request.value) + (request.text.empty() ? "" : " " + request.text);
  }
}

void PressAbort() { g_extractStatus.CancelRequested.store(1, std::memory_order_release); }

// GetProcessHandleCount answers 0 under Wine, so count this process's rows in
// the system handle table instead.
long CountProcessHandles() {
  auto query = reinterpret_cast<QuerySystemInformationFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  ULONG size = 1u << 20;
  for (int attempt = 0; attempt < 4; ++attempt, size *= 4) {
    auto* table = static_cast<SystemHandleTable*>(std::malloc(size));
    ULONG needed = 0;
    LONG status = query(16, table, size, &needed);
    if (status == 0) {
      long count = 0;
      for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].processId == GetCurrentProcessId()) ++count;
      std::free(table);
      return count;
    }
    std::free(table);
  }
  return -1;
}

long CountBusyHeapBlocks() { return LiveHeapBlocks(); }

// A thread gets a message queue from its first window or message call; a
// message posted to a thread without one is refused with this error.
bool ThreadHasMessageQueue(unsigned long threadId) {
  if (PostThreadMessageA(threadId, WM_NULL, 0, 0)) return true;
  return GetLastError() != ERROR_INVALID_THREAD_ID;
}

RunOutcome RunExtraction(const DialogScript& script, const CallScript& calls) {
  InstallWorkerHooks();
  BeginWorkerRun(calls);
  ExtractStatus& status = g_extractStatus;
  RunOutcome outcome;
  size_t answerIndex = 0;
  if (script.abortBeforeStart) PressAbort();

  // The first tick: reset, then start the worker.  The exchange's two events
  // are made by the first reset and live as long as the process, so the
  // handles are counted after it.
  if (!BeginExchange()) return outcome;
  long handlesBefore = CountProcessHandles();
  long heapBefore = CountBusyHeapBlocks();
  if (!StartExtractWorker()) return outcome;

  DWORD started = GetTickCount();
  auto pendingCount = [&status]() {
    return (status.PercentChanged.load() != 0 ? 1 : 0) + (status.CaptionRequested.load() != 0 ? 1 : 0) +
           (status.Alert.load() != 0 ? 1 : 0) + (status.Result.load() != 0 ? 1 : 0);
  };
  auto serve = [&](ServedRequest request, std::atomic<int32_t>& flag) {
    if (script.beforeAcknowledge) script.beforeAcknowledge(request, outcome.served.size());
    if (pendingCount() != 1) outcome.requestsOverlapped = true;
    outcome.served.push_back(request);
    AcknowledgeRequest(flag);
  };
  for (;;) {
    // Sleeps until the worker raises something, as the dialog does between
    // the requests it serves.
    const DWORD elapsed = GetTickCount() - started;
    if (elapsed > kRunLimitMs) return outcome;
    WaitForSingleObject(RequestRaisedEvent(), kRunLimitMs - elapsed);
    int32_t result = status.Result.load(std::memory_order_acquire);
    if (result != 0) {
      outcome.result = static_cast<ResultCode>(result);
      break;
    }
    if (status.PercentChanged.load(std::memory_order_acquire) != 0)
      serve(PercentRequest(status.Percent), status.PercentChanged);
    if (status.CaptionRequested.load(std::memory_order_acquire) != 0)
      serve(CaptionRequest(status.EntryName), status.CaptionRequested);
    int32_t alert = status.Alert.load(std::memory_order_acquire);
    if (alert != 0) {
      ServedRequest request = AlertRequest(static_cast<AlertCode>(alert));
      if (alert == static_cast<int32_t>(AlertCode::AskOverwrite)) {
        request.text = status.OverwritePath;
        status.Answer = answerIndex < script.answers.size() ? script.answers[answerIndex++] : Overwrite;
      }
      serve(request, status.Alert);
    }
  }

  outcome.finished = WaitForWorkerReturn(kRunLimitMs);
  outcome.workerHadMessageQueue = ThreadHasMessageQueue(WorkerThreadId());
  ReleaseWorkerThread();
  outcome.cancelStillRequested = status.CancelRequested.load() != 0;
  status.CancelRequested.store(0);
  outcome.handleDelta = CountProcessHandles() - handlesBefore;
  outcome.heapBlockDelta = CountBusyHeapBlocks() - heapBefore;
  return outcome;
}
