// Every valid block decodes to what a straightforward model of the format
// says, including streams no encoder of ours would write: long distance-1
// runs, maximum lengths, the farthest distance, permuted literal tables, and
// distances and lengths beyond the producer's limits that the format allows.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "decode_helpers.h"
#include "tests/support/valid_stream.h"

using testsupport::ModelStream;

TEST(BlockDecoderRandom, ValidStreamsMatchTheModel) {
  std::mt19937 random(7351);
  for (int round = 0; round < 60; ++round) {
    uint32_t size = round < 10 ? 1 + static_cast<uint32_t>(random() % 40) : 1 + static_cast<uint32_t>(random() % 40000);
    const ModelStream stream = testsupport::RandomValidStream(random, size);
    ASSERT_EQ(stream.decoded().size(), size);
    Decoded d = DecodeGuarded(stream.Block());
    ASSERT_EQ(d.result, DecodeOk) << "round " << round;
    ASSERT_EQ(d.bytes, stream.decoded()) << "round " << round;
  }
}

TEST(BlockDecoderRandom, LongestRunsAndFarthestDistancesDecode) {
  std::mt19937 random(99);
  ModelStream stream(testsupport::PermutedLiteralTable(random));
  for (uint32_t r = 0; r < 256; ++r) stream.Literal(r);
  stream.Match(1, 512);                      // longest run of one byte
  stream.Match(256 + 512, 8191 - 768 + 1);   // reaches back to byte 0
  stream.Match(8191, 512);                   // farthest distance, longest length
  stream.Match(8700, 100000);                // beyond both limits
  Decoded d = DecodeGuarded(stream.Block());
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_EQ(d.bytes, stream.decoded());
}
