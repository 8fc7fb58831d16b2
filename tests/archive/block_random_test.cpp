// Every valid block decodes to what a straightforward model of the format
// says, including streams no encoder of ours would write: long distance-1
// runs, permuted literal tables, and distances and lengths of several MiB.
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

TEST(BlockDecoderRandom, FarDistancesAndLongLengthsDecode) {
  // Distances beyond 65,535 and up to several MiB, lengths beyond 65,535:
  // numbers of class 17 and more.  The output doubles by copying all of
  // itself, with a few random literals between the copies so that no stretch
  // repeats at any other distance: a wrong distance gives wrong bytes.
  std::mt19937 random(99);
  ModelStream stream(testsupport::PermutedLiteralTable(random));
  auto literals = [&](int count) {
    for (int i = 0; i < count; ++i) stream.Literal(static_cast<uint32_t>(random() % 256));
  };
  auto produced = [&] { return static_cast<uint32_t>(stream.decoded().size()); };
  literals(70000);
  while (produced() < (4u << 20)) {
    stream.Match(produced(), produced());  // numbers of class 16 up to 21
    literals(7);
  }
  stream.Match(produced(), 3);                 // back to byte 0, 4.3 MiB: class 22
  stream.Match(produced() - 1000, 300000);     // back to byte 1000, a length of class 18
  stream.Match(3u << 20, 65537);               // a distance of class 21, the first length of class 16
  stream.Match(1, 3u << 20);                   // a run with a length of class 21
  literals(5);
  stream.Match(65278, 131073);                 // the first numbers of class 16 and 17
  Decoded d = DecodeGuarded(stream.Block());
  ASSERT_EQ(d.result, DecodeOk);
  EXPECT_TRUE(d.bytes == stream.decoded());
}
