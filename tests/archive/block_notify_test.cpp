// A decode with a window sends one notification per 8192 output bytes, counted
// afresh after each (bytes beyond 8192 are not carried over), plus one at the
// end; without a window it sends none.  Natively observed through the
// platform hook, in Win32 as real messages to a real window.
#include <gtest/gtest.h>

#include <vector>

#include "decode_helpers.h"
#include "notification_counter.h"

using testsupport::BitWriter;
using testsupport::MakeBlock;

namespace {

constexpr uint32_t kProgressMessage = 0x8000 + 7;  // WM_APP + 7

// Decodes and answers how many notifications arrived.
int Notifications(const std::vector<uint8_t>& block, NotificationCounter& counter, uint32_t expectedSize) {
  counter.Reset();
  Decoded d = DecodeAt(block.data(), static_cast<uint32_t>(block.size()), counter.window(), kProgressMessage);
  EXPECT_EQ(d.result, DecodeOk);
  EXPECT_EQ(d.bytes.size(), expectedSize);
  EXPECT_TRUE(counter.asExpected());
  return counter.received();
}

std::vector<uint8_t> Literals(uint32_t count) {
  BitWriter bits;
  for (uint32_t i = 0; i < count; ++i) bits.Literal(i % 3);
  return MakeBlock(count, bits.Finish());
}

}  // namespace

TEST(BlockNotify, CountsFollowEveryFull8192Bytes) {
  NotificationCounter counter(kProgressMessage);
  ASSERT_NE(counter.window(), nullptr);
  EXPECT_EQ(Notifications(Literals(20000), counter, 20000), 3);  // 8192, 16384, end
  EXPECT_EQ(Notifications(Literals(8191), counter, 8191), 1);    // the end only
  EXPECT_EQ(Notifications(Literals(8192), counter, 8192), 2);    // 8192 and the end
  EXPECT_EQ(Notifications(MakeBlock(0, {}), counter, 0), 1);     // the end of nothing
}

TEST(BlockNotify, AMatchCrossing8192RestartsTheCountFromZero) {
  NotificationCounter counter(kProgressMessage);
  // 8190 literals, then a match of 10 takes the counter to 8200: notify, count
  // from 0.  8191 more bytes stay below 8192 only if nothing was carried over.
  BitWriter bits;
  for (int i = 0; i < 8190; ++i) bits.Literal(7);
  bits.Match(1, 10);
  for (int i = 0; i < 8191; ++i) bits.Literal(9);
  EXPECT_EQ(Notifications(MakeBlock(8190 + 10 + 8191, bits.Finish()), counter, 16391), 2);

  bits.Literal(9);  // the 8192nd byte after the restart
  EXPECT_EQ(Notifications(MakeBlock(8190 + 10 + 8192, bits.Finish()), counter, 16392), 3);
}

TEST(BlockNotify, NoWindowNoNotification) {
  NotificationCounter counter(kProgressMessage);
  std::vector<uint8_t> block = Literals(20000);
  Decoded d = DecodeAt(block.data(), static_cast<uint32_t>(block.size()), nullptr, kProgressMessage);
  EXPECT_EQ(d.result, DecodeOk);
  EXPECT_EQ(counter.received(), 0);
}

TEST(BlockNotify, ARefusedBlockGetsNoFinalNotification) {
  NotificationCounter counter(kProgressMessage);
  BitWriter bits;
  for (int i = 0; i < 9000; ++i) bits.Literal(1);
  counter.Reset();
  std::vector<uint8_t> block = MakeBlock(9001, bits.Finish());  // one byte short
  Decoded d = DecodeAt(block.data(), static_cast<uint32_t>(block.size()), counter.window(), kProgressMessage);
  EXPECT_EQ(d.result, DecodeBadArgument);
  // The notification after byte 8192 has gone out; the final one must not.
  EXPECT_EQ(counter.received(), 1);
}
