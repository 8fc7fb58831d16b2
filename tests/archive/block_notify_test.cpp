// A decode with a window sends one notification per 8192 output bytes, counted
// afresh after each (bytes beyond 8192 are not carried over), plus one at the
// end; without a window it sends none.  Natively observed through the
// platform hook, in Win32 as real messages to a real window.
#include <gtest/gtest.h>

#include <vector>

#include "decode_helpers.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "archive/block/block_platform.h"
#endif

using testsupport::BitWriter;
using testsupport::MakeBlock;

namespace {

constexpr uint32_t kProgressMessage = 0x8000 + 7;  // WM_APP + 7

int g_received = 0;
bool g_parametersZero = true;

#ifdef _WIN32
LRESULT CALLBACK CountingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProgressMessage) {
    ++g_received;
    g_parametersZero = g_parametersZero && wParam == 0 && lParam == 0;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A message-only window of this thread: SendMessageA reaches it at once.
class CountingWindow {
 public:
  CountingWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KaitoNotifyCounter";
    RegisterClassA(&windowClass);
    handle_ = CreateWindowA("KaitoNotifyCounter", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  }
  ~CountingWindow() { DestroyWindow(handle_); }
  NotifyWindow get() const { return handle_; }

 private:
  HWND handle_;
};
#else
NotifyWindow g_expectedWindow = nullptr;

void CountingHook(NotifyWindow window, uint32_t message) {
  ++g_received;
  g_parametersZero = g_parametersZero && window == g_expectedWindow && message == kProgressMessage;
}

// Any non-null value stands for a window natively; the hook sees it unchanged.
class CountingWindow {
 public:
  CountingWindow() {
    g_expectedWindow = this;
    SetBlockNotifyHook(CountingHook);
  }
  ~CountingWindow() { SetBlockNotifyHook(nullptr); }
  NotifyWindow get() const { return const_cast<CountingWindow*>(this); }
};
#endif

// Decodes and answers how many notifications arrived.
int Notifications(const std::vector<uint8_t>& block, NotifyWindow window, uint32_t expectedSize) {
  g_received = 0;
  g_parametersZero = true;
  Decoded d = DecodeAt(block.data(), static_cast<uint32_t>(block.size()), window, kProgressMessage);
  EXPECT_EQ(d.result, DecodeOk);
  EXPECT_EQ(d.bytes.size(), expectedSize);
  EXPECT_TRUE(g_parametersZero);
  return g_received;
}

std::vector<uint8_t> Literals(uint32_t count) {
  BitWriter bits;
  for (uint32_t i = 0; i < count; ++i) bits.Literal(i % 3);
  return MakeBlock(count, bits.Finish());
}

}  // namespace

TEST(BlockNotify, CountsFollowEveryFull8192Bytes) {
  CountingWindow window;
  ASSERT_NE(window.get(), nullptr);
  EXPECT_EQ(Notifications(Literals(20000), window.get(), 20000), 3);  // 8192, 16384, end
  EXPECT_EQ(Notifications(Literals(8191), window.get(), 8191), 1);    // the end only
  EXPECT_EQ(Notifications(Literals(8192), window.get(), 8192), 2);    // 8192 and the end
  EXPECT_EQ(Notifications(MakeBlock(0, {}), window.get(), 0), 1);     // the end of nothing
}

TEST(BlockNotify, AMatchCrossing8192RestartsTheCountFromZero) {
  CountingWindow window;
  // 8190 literals, then a match of 10 takes the counter to 8200: notify, count
  // from 0.  8191 more bytes stay below 8192 only if nothing was carried over.
  BitWriter bits;
  for (int i = 0; i < 8190; ++i) bits.Literal(7);
  bits.Match(1, 10);
  for (int i = 0; i < 8191; ++i) bits.Literal(9);
  EXPECT_EQ(Notifications(MakeBlock(8190 + 10 + 8191, bits.Finish()), window.get(), 16391), 2);

  bits.Literal(9);  // the 8192nd byte after the restart
  EXPECT_EQ(Notifications(MakeBlock(8190 + 10 + 8192, bits.Finish()), window.get(), 16392), 3);
}

TEST(BlockNotify, NoWindowNoNotification) {
  CountingWindow window;
  g_received = 0;
  std::vector<uint8_t> block = Literals(20000);
  Decoded d = DecodeAt(block.data(), static_cast<uint32_t>(block.size()), nullptr, kProgressMessage);
  EXPECT_EQ(d.result, DecodeOk);
  EXPECT_EQ(g_received, 0);
}

TEST(BlockNotify, ARefusedBlockGetsNoFinalNotification) {
  CountingWindow window;
  BitWriter bits;
  for (int i = 0; i < 9000; ++i) bits.Literal(1);
  g_received = 0;
  std::vector<uint8_t> block = MakeBlock(9001, bits.Finish());  // one byte short
  Decoded d = DecodeAt(block.data(), static_cast<uint32_t>(block.size()), window.get(), kProgressMessage);
  EXPECT_EQ(d.result, DecodeBadArgument);
  // The notification after byte 8192 has gone out; the final one must not.
  EXPECT_EQ(g_received, 1);
}
