// A corrupt bit stream is refused with 6, its outputs untouched, and never
// makes the decoder read outside the block (each block here ends flush
// against a guard page, so any over-read faults the test).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "decode_helpers.h"

using testsupport::BitWriter;
using testsupport::MakeBlock;

namespace {

void ExpectRefused(const std::vector<uint8_t>& block, const char* what) {
  Decoded d = DecodeGuarded(block);
  EXPECT_EQ(d.result, DecodeBadArgument) << what;
  EXPECT_TRUE(d.outputsUntouched) << what;
}

}  // namespace

TEST(MalformedStream, MatchReachingBeforeTheOutputStartIsRefused) {
  BitWriter first;
  first.Match(1, 3);  // nothing written yet
  ExpectRefused(MakeBlock(3, first.Finish()), "match as first token");

  BitWriter tooFar;
  tooFar.Literal('a');
  tooFar.Literal('b');
  tooFar.Match(3, 3);
  ExpectRefused(MakeBlock(5, tooFar.Finish()), "distance 3 after 2 bytes");

  BitWriter farthest;  // distance == bytes produced is the limit that still works
  farthest.Literal('a');
  farthest.Literal('b');
  farthest.Match(2, 3);
  Decoded d = DecodeGuarded(MakeBlock(5, farthest.Finish()));
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_EQ(AsText(d.bytes), "ababa");
}

TEST(MalformedStream, DistanceZeroIsRefused) {
  BitWriter bits;
  bits.Literal('a');
  bits.Match(0, 3);
  ExpectRefused(MakeBlock(4, bits.Finish()), "distance 0");
}

TEST(MalformedStream, MatchRunningPastTheDecodedSizeIsRefused) {
  BitWriter bits;
  bits.Literal('x');
  bits.Match(1, 5);
  ExpectRefused(MakeBlock(5, bits.Finish()), "six bytes into five");
  // Lengths that would wrap a 32-bit sum.
  BitWriter huge;
  huge.Literal('x');
  huge.Match(1, 0x7FFFFFFFu);
  ExpectRefused(MakeBlock(100, huge.Finish()), "length 2^31 - 1");
}

TEST(MalformedStream, StreamEndingBeforeTheDecodedSizeIsRefused) {
  BitWriter three;
  for (char c : {'a', 'b', 'c'}) three.Literal(static_cast<uint8_t>(c));
  std::vector<uint8_t> stream = three.Finish();
  ExpectRefused(MakeBlock(10, stream), "3 literals for 10 bytes");
  ExpectRefused(MakeBlock(1, {}), "empty stream");
  // A stream of one-bits ends inside a prefix.
  ExpectRefused(MakeBlock(1, std::vector<uint8_t>(3, 0xFF)), "prefix runs off the end");
  // A match whose second number is cut off.
  BitWriter cut;
  cut.Literal('a');
  cut.Code(256 + 1);
  cut.Ones(3);
  ExpectRefused(MakeBlock(8, cut.Finish()), "length code cut off");
}

TEST(MalformedStream, PrefixesTooLongForAThirtyTwoBitNumberAreRefused) {
  for (int ones : {31, 32, 40}) {
    BitWriter bits;
    bits.Literal('a');
    bits.Ones(ones);
    bits.Bit(0);
    bits.Bits(0, 40);  // value bits present, so the stream does not end early
    bits.Code(0);
    ExpectRefused(MakeBlock(3, bits.Finish()), "long prefix");
  }
}

TEST(MalformedStream, ValuesOfClassThirtyOneAreReadWithoutOverflow) {
  // The largest first number of class 31 (2^32 - 3) is no usable distance.
  BitWriter bits;
  bits.Literal('a');
  bits.Code(0xFFFFFFFDu);
  bits.Code(0);
  ExpectRefused(MakeBlock(4, bits.Finish()), "class-31 distance");
}

// Cut and bit-flipped copies of a valid block either decode to exactly
// decodedSize bytes or are refused with 6; none reads past the block.
TEST(MalformedStream, DamagedValidBlocksNeverReadOutOfBounds) {
  BitWriter bits;
  for (int i = 0; i < 40; ++i) bits.Literal(static_cast<uint8_t>(i * 7));
  bits.Match(40, 100);
  bits.Match(1, 20);
  bits.Literal(3);
  std::vector<uint8_t> valid = MakeBlock(161, bits.Finish());
  ASSERT_EQ(DecodeGuarded(valid).result, DecodeOk);

  std::mt19937 random(20240607);
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> damaged = valid;
    size_t cut = 268 + random() % (valid.size() - 268);
    if (round % 2 == 0) {
      damaged.resize(cut);
      testsupport::PutLE32(damaged.data() + 8, static_cast<uint32_t>(cut - 268));
    } else {
      for (int flips = 0; flips < 3; ++flips) damaged[cut] ^= static_cast<uint8_t>(1u << (random() % 8));
    }
    Decoded d = DecodeGuarded(damaged);
    if (d.result == DecodeOk) {
      EXPECT_EQ(d.bytes.size(), 161u);
    } else {
      EXPECT_EQ(d.result, DecodeBadArgument);
      EXPECT_TRUE(d.outputsUntouched);
    }
  }
}
