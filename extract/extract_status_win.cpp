#include "extract/extract_status.h"

#include <windows.h>

ExtractStatus g_extractStatus;
char DestDir[kDestDirBufferSize];
int32_t SkipOverwritePrompt;
UiLevel g_uiLevel;

namespace {

// Made once and kept for the life of the process, like the record itself.
HANDLE RequestRaised;
HANDLE RequestCleared;

// Tells the dialog thread that something is pending, then sleeps until the
// flag reads 0.  The dialog thread clears it with a release store after
// writing any answer; the acquire load makes that answer visible here.
// Without a window there is nobody to ask: the request counts as served.
void RaiseAndWait(std::atomic<int32_t>& flag, int32_t value) {
  if (g_uiLevel == UiLevel::Silent) return;
  flag.store(value, std::memory_order_release);
  SetEvent(RequestRaised);
  while (flag.load(std::memory_order_acquire) != 0) WaitForSingleObject(RequestCleared, INFINITE);
}

}  // namespace

bool BeginExchange() {
  if (RequestRaised == nullptr) RequestRaised = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (RequestCleared == nullptr) RequestCleared = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g_extractStatus.PercentChanged.store(0, std::memory_order_relaxed);
  g_extractStatus.Alert.store(0, std::memory_order_relaxed);
  g_extractStatus.Percent = 0;
  g_extractStatus.Result.store(0, std::memory_order_release);
  return RequestRaised != nullptr && RequestCleared != nullptr;
}

void* RequestRaisedEvent() { return RequestRaised; }

void AcknowledgeRequest(std::atomic<int32_t>& flag) {
  flag.store(0, std::memory_order_release);
  SetEvent(RequestCleared);
}

void RequestCaption() { RaiseAndWait(g_extractStatus.CaptionRequested, 1); }

void ReportPercent(int32_t percent) {
  g_extractStatus.Percent = percent;
  RaiseAndWait(g_extractStatus.PercentChanged, 1);
}

void RaiseAlert(AlertCode code) { RaiseAndWait(g_extractStatus.Alert, static_cast<int32_t>(code)); }

// One atomic exchange rather than a load and a separate store: an Abort
// pressed between the two would otherwise be wiped out unseen.
bool TakeCancel() {
  return g_extractStatus.CancelRequested.exchange(0, std::memory_order_relaxed) != 0;
}

// Result is the worker's last store; the signal lets the dialog close at once.
void PublishResult(ResultCode code) {
  g_extractStatus.Result.store(static_cast<int32_t>(code), std::memory_order_release);
  if (RequestRaised != nullptr) SetEvent(RequestRaised);
}
