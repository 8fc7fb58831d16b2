#include <cstdlib>

#include "archive/block/block_platform.h"

namespace {
BlockNotifyHook g_notifyHook = nullptr;
bool g_failAllocation = false;
}  // namespace

uint8_t* BlockAllocate(uint32_t size) {
  if (g_failAllocation) return nullptr;
  // malloc(0) may answer null; one byte keeps "null means failure" true.
  return static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
}

bool BlockRelease(uint8_t* buffer) {
  std::free(buffer);
  return true;
}

void BlockNotify(NotifyWindow window, uint32_t message) {
  if (g_notifyHook != nullptr) g_notifyHook(window, message);
}

void SetBlockNotifyHook(BlockNotifyHook hook) { g_notifyHook = hook; }
void SetBlockAllocationFailure(bool fail) { g_failAllocation = fail; }
