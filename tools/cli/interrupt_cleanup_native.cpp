#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "tools/cli/interrupt_cleanup.h"

namespace {

// Everything the handler touches is a fixed buffer and an armed flag: it may
// call only async-signal-safe functions (unlink, signal, raise).  A slot is
// disarmed while its path changes, so the handler never reads half a path.
constexpr size_t kPathCapacity = 4096;
char cleanupPaths[kCleanupSlotCount][kPathCapacity];
volatile sig_atomic_t cleanupArmed[kCleanupSlotCount];

extern "C" void RemoveAndDie(int signalNumber) {
  for (int slot = 0; slot < kCleanupSlotCount; ++slot)
    if (cleanupArmed[slot] != 0) unlink(cleanupPaths[slot]);
  // Dying by the same signal gives the parent the status it expects (128 + N).
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

void InstallInterruptCleanup() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action {};
  action.sa_handler = RemoveAndDie;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signalNumber);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    // A signal the caller ignores (nohup, a background job) stays ignored.
    if (sigaction(signalNumber, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signalNumber, &action, nullptr);
  }
}

void SetInterruptCleanup(CleanupSlot slot, const std::filesystem::path& path) {
  cleanupArmed[slot] = 0;
  const std::string& text = path.native();
  if (text.empty() || text.size() >= kPathCapacity) return;
  std::memcpy(cleanupPaths[slot], text.c_str(), text.size() + 1);
  cleanupArmed[slot] = 1;
}
