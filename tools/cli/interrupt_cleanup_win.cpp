#include <windows.h>

#include <cwchar>

#include "tools/cli/interrupt_cleanup.h"

namespace {

// The console runs the handler on a thread of its own while the main thread
// may be writing the file.  The files are opened with FILE_SHARE_DELETE, so
// DeleteFileW succeeds at once and the file goes when ExitProcess closes it.
constexpr size_t kPathCapacity = 32768;
wchar_t cleanupPaths[kCleanupSlotCount][kPathCapacity];
volatile LONG cleanupArmed[kCleanupSlotCount];

BOOL WINAPI RemoveAndExit(DWORD event) {
  UINT status = 0;
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      status = 130;
      break;
    case CTRL_CLOSE_EVENT:
      status = 129;
      break;
    default:
      return FALSE;
  }
  for (int slot = 0; slot < kCleanupSlotCount; ++slot)
    if (cleanupArmed[slot] != 0) DeleteFileW(cleanupPaths[slot]);
  ExitProcess(status);
}

}  // namespace

void InstallInterruptCleanup() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  SetConsoleCtrlHandler(RemoveAndExit, TRUE);
}

void SetInterruptCleanup(CleanupSlot slot, const std::filesystem::path& path) {
  InterlockedExchange(&cleanupArmed[slot], 0);
  const std::wstring& text = path.native();
  if (text.empty() || text.size() >= kPathCapacity) return;
  std::wmemcpy(cleanupPaths[slot], text.c_str(), text.size() + 1);
  InterlockedExchange(&cleanupArmed[slot], 1);
}
