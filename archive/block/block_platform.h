// What the block decoder needs of its platform: the process heap and the
// notification to a window.  The Win32 build uses HeapAlloc and SendMessageA;
// the native build uses malloc and a hook the tests can observe.
#pragma once

#include <cstdint>

#include "archive/block/block_decoder.h"

uint8_t* BlockAllocate(uint32_t size);  // not zeroed; null on failure
bool BlockRelease(uint8_t* buffer);     // false when the heap refused
void BlockNotify(NotifyWindow window, uint32_t message);

#ifndef _WIN32
// Native only: every notification is handed to this hook (none by default).
using BlockNotifyHook = void (*)(NotifyWindow window, uint32_t message);
void SetBlockNotifyHook(BlockNotifyHook hook);
// Native only: makes the next allocations fail, to test the out-of-memory path.
void SetBlockAllocationFailure(bool fail);
#endif
