#include "extract/extract_status.h"

ExtractStatus g_extractStatus;
char DestDir[kDestDirBufferSize];
int32_t SkipOverwritePrompt;

namespace {

// Tells the processor that this is a spin loop, which saves power and lets a
// sibling hyper-thread run; the thread itself neither sleeps nor yields.
inline void SpinPause() {
#if defined(__i386__) || defined(__x86_64__)
  __builtin_ia32_pause();
#endif
}

// The dialog thread clears a request with a release store after writing any
// answer; the acquire load here makes that answer visible once 0 is seen.
void WaitUntilCleared(const std::atomic<int32_t>& flag) {
  while (flag.load(std::memory_order_acquire) != 0) SpinPause();
}

}  // namespace

void RequestCaption() {
  g_extractStatus.CaptionRequested.store(1, std::memory_order_release);
  WaitUntilCleared(g_extractStatus.CaptionRequested);
}

void ReportPercent(int32_t percent) {
  g_extractStatus.Percent = percent;
  g_extractStatus.PercentChanged.store(1, std::memory_order_release);
  WaitUntilCleared(g_extractStatus.PercentChanged);
}

void RaiseAlert(AlertCode code) {
  g_extractStatus.Alert.store(static_cast<int32_t>(code), std::memory_order_release);
  WaitUntilCleared(g_extractStatus.Alert);
}

// One atomic exchange rather than a load and a separate store: an Abort
// pressed between the two would otherwise be wiped out unseen.
bool TakeCancel() {
  return g_extractStatus.CancelRequested.exchange(0, std::memory_order_relaxed) != 0;
}

void PublishResult(ResultCode code) {
  g_extractStatus.Result.store(static_cast<int32_t>(code), std::memory_order_release);
}
