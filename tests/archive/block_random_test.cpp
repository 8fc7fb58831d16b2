// Every valid block decodes to what a straightforward model of the format
// says, including streams no encoder of ours would write: long distance-1
// runs, maximum lengths, the farthest distance, permuted literal tables, and
// distances and lengths beyond the producer's limits that the format allows.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "decode_helpers.h"

using testsupport::BitWriter;

namespace {

struct Token {
  bool isMatch;
  uint32_t literal;   // literal number, when !isMatch
  uint32_t distance;  // when isMatch
  uint32_t length;
};

// The model: literal numbers through the table, matches copied a byte at a
// time from `distance` bytes back.
std::vector<uint8_t> ModelDecode(const std::vector<Token>& tokens, const testsupport::LiteralTable& table) {
  std::vector<uint8_t> out;
  for (const Token& t : tokens) {
    if (!t.isMatch) {
      out.push_back(table[t.literal]);
    } else {
      for (uint32_t i = 0; i < t.length; ++i) out.push_back(out[out.size() - t.distance]);
    }
  }
  return out;
}

struct RandomBlock {
  std::vector<Token> tokens;
  testsupport::LiteralTable table;
  uint32_t size;
};

RandomBlock Generate(std::mt19937& random, uint32_t size) {
  RandomBlock block{{}, testsupport::IdentityLiteralTable(), size};
  std::shuffle(block.table.begin(), block.table.end(), random);
  auto below = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  uint32_t produced = 0;
  while (produced < size) {
    uint32_t remaining = size - produced;
    uint32_t kind = below(10);
    if (produced == 0 || remaining < 3 || kind < 4) {
      // Small literal numbers more often, as in real blocks, but all 256 occur.
      uint32_t number = below(2) ? below(8) : below(256);
      block.tokens.push_back({false, number, 0, 0});
      ++produced;
      continue;
    }
    uint32_t distance;
    uint32_t length;
    switch (kind) {
      case 4:  // a run of one byte
        distance = 1;
        length = 3 + below(std::min(remaining, 700u) - 2);
        break;
      case 5:  // the producer's longest match
        distance = 1 + below(std::min(produced, 8191u));
        length = std::min(remaining, 512u);
        break;
      case 6:  // the producer's farthest distance
        distance = std::min(produced, 8191u);
        length = 3 + below(std::min(remaining, 40u) - 2);
        break;
      case 7:  // beyond the producer's limits: far and long
        distance = 1 + below(produced);
        length = 3 + below(std::min(remaining, 5000u) - 2);
        break;
      default:  // short, near
        distance = 1 + below(std::min(produced, 64u));
        length = 3 + below(std::min(remaining, 16u) - 2);
        break;
    }
    length = std::min(length, remaining);
    block.tokens.push_back({true, 0, distance, length});
    produced += length;
  }
  return block;
}

std::vector<uint8_t> Encode(const RandomBlock& block) {
  BitWriter bits;
  for (const Token& t : block.tokens) {
    if (t.isMatch)
      bits.Match(t.distance, t.length);
    else
      bits.Literal(t.literal);
  }
  return testsupport::MakeBlock(block.size, bits.Finish(), block.table);
}

}  // namespace

TEST(BlockDecoderRandom, ValidStreamsMatchTheModel) {
  std::mt19937 random(7351);
  for (int round = 0; round < 60; ++round) {
    uint32_t size = round < 10 ? 1 + static_cast<uint32_t>(random() % 40) : 1 + static_cast<uint32_t>(random() % 40000);
    RandomBlock block = Generate(random, size);
    std::vector<uint8_t> expected = ModelDecode(block.tokens, block.table);
    ASSERT_EQ(expected.size(), size);
    Decoded d = DecodeGuarded(Encode(block));
    ASSERT_EQ(d.result, DecodeOk) << "round " << round;
    ASSERT_EQ(d.bytes, expected) << "round " << round;
  }
}

TEST(BlockDecoderRandom, LongestRunsAndFarthestDistancesDecode) {
  std::mt19937 random(99);
  RandomBlock block{{}, testsupport::IdentityLiteralTable(), 0};
  std::shuffle(block.table.begin(), block.table.end(), random);
  for (uint32_t r = 0; r < 256; ++r) block.tokens.push_back({false, r, 0, 0});
  block.tokens.push_back({true, 0, 1, 512});         // longest run of one byte
  block.tokens.push_back({true, 0, 256 + 512, 8191 - 768 + 1});  // reaches back to byte 0
  block.tokens.push_back({true, 0, 8191, 512});      // farthest distance, longest length
  block.tokens.push_back({true, 0, 8700, 100000});   // beyond both limits
  for (const Token& t : block.tokens) block.size += t.isMatch ? t.length : 1;
  Decoded d = DecodeGuarded(Encode(block));
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_EQ(d.bytes, ModelDecode(block.tokens, block.table));
}
