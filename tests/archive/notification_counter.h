// Counts the progress notifications DecodeBlock sends to its window: natively
// through the platform hook, in Win32 as real messages to a real window of
// this thread.  One counter at a time.
//
//   NotificationCounter counter(kMessage);
//   DecodeBlock(block, size, &out, &outSize, counter.window(), kMessage);
//   EXPECT_EQ(counter.received(), 3);
#pragma once

#include <cstdint>

#include "archive/block/block_decoder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "archive/block/block_platform.h"
#endif

namespace notification_counter {
inline int g_received = 0;
inline bool g_asExpected = true;  // every notification had the right window, message and parameters
inline uint32_t g_message = 0;
inline NotifyWindow g_window = nullptr;
}  // namespace notification_counter

#ifdef _WIN32
inline LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  using namespace notification_counter;
  if (message == g_message) {
    ++g_received;
    g_asExpected = g_asExpected && window == g_window && wParam == 0 && lParam == 0;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
#else
inline void CountingHook(NotifyWindow window, uint32_t message) {
  using namespace notification_counter;
  ++g_received;
  g_asExpected = g_asExpected && window == g_window && message == g_message;
}
#endif

class NotificationCounter {
 public:
  explicit NotificationCounter(uint32_t message) {
    using namespace notification_counter;
    g_message = message;
    Reset();
#ifdef _WIN32
    // A message-only window of this thread: SendMessageA reaches it at once.
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KaitoNotifyCounter";
    RegisterClassA(&windowClass);  // fails harmlessly when a counter registered it before
    g_window = CreateWindowA("KaitoNotifyCounter", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
#else
    // Any non-null value stands for a window natively; the hook sees it unchanged.
    g_window = this;
    SetBlockNotifyHook(CountingHook);
#endif
  }
  ~NotificationCounter() {
#ifdef _WIN32
    DestroyWindow(static_cast<HWND>(notification_counter::g_window));
#else
    SetBlockNotifyHook(nullptr);
#endif
    notification_counter::g_window = nullptr;
  }
  NotificationCounter(const NotificationCounter&) = delete;
  NotificationCounter& operator=(const NotificationCounter&) = delete;

  NotifyWindow window() const { return notification_counter::g_window; }
  int received() const { return notification_counter::g_received; }
  bool asExpected() const { return notification_counter::g_asExpected; }
  void Reset() {
    notification_counter::g_received = 0;
    notification_counter::g_asExpected = true;
  }
};
