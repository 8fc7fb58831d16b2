#include <windows.h>

#include "archive/block/block_platform.h"

uint8_t* BlockAllocate(uint32_t size) {
  return static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size));
}

bool BlockRelease(uint8_t* buffer) { return HeapFree(GetProcessHeap(), 0, buffer) != FALSE; }

void BlockNotify(NotifyWindow window, uint32_t message) {
  SendMessageA(static_cast<HWND>(window), message, 0, 0);
}
