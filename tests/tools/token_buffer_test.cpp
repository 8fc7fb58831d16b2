// The token buffer writes exactly the stream its bit count promises (the
// encoder keeps the parse with the fewer bits by that count), and the stream
// decodes to the tokens it was given, numbers of every size included.
#include <gtest/gtest.h>

#include <random>

#include "archive/archive_format.h"
#include "archive/block/block_decoder.h"
#include "tests/support/bit_writer.h"
#include "tools/encoder/literal_ranking.h"
#include "tools/encoder/token_buffer.h"

TEST(TokenBuffer, WritesTheBitsItCountsAndDecodesToItsTokens) {
  std::mt19937 random(2222);
  TokenBuffer tokens(nullptr);
  std::vector<uint8_t> expected;
  auto literals = [&](int count) {
    for (int i = 0; i < count; ++i) {
      uint8_t byte = static_cast<uint8_t>(random() % 7 == 0 ? random() : 'a' + random() % 4);
      tokens.Literal(byte);
      expected.push_back(byte);
    }
  };
  auto match = [&](uint32_t distance, uint32_t length) {
    tokens.Match(length, distance);
    for (uint32_t i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
  };
  literals(300);
  match(1, 3);
  match(300, 70000);            // a length of class 16
  literals(1);
  match(50000, 200000);         // distance class 16, length class 17
  match(static_cast<uint32_t>(expected.size()), 5);  // back to byte 0
  literals(129);                // a run of literals longer than one varint byte counts
  match(1, 3000000);            // length class 21
  match(3000000, 1 << 20);      // distance class 21
  literals(2);

  const LiteralRanking ranking = RankLiterals(tokens.literalCounts(), CountBytes(expected.data(), expected.size()));
  std::vector<uint8_t> block(268);
  tokens.WriteStream(ranking.rankOfByte, &block);
  const uint64_t bits = tokens.StreamBits(ranking.rankOfByte);
  EXPECT_EQ((bits + 7) / 8, block.size() - 268);

  std::vector<uint8_t> stream(block.begin() + 268, block.end());
  testsupport::LiteralTable table;
  std::copy(ranking.table.begin(), ranking.table.end(), table.begin());
  const std::vector<uint8_t> whole = testsupport::MakeBlock(static_cast<uint32_t>(expected.size()), stream, table);
  uint8_t* out = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(DecodeBlock(whole.data(), static_cast<uint32_t>(whole.size()), &out, &size, nullptr, 0), DecodeOk);
  ASSERT_EQ(size, expected.size());
  EXPECT_TRUE(std::equal(out, out + size, expected.begin()));
  FreeBlock(out);
}
