// Blocks from the encoder decode to their input at every level and keep every
// rule of produced blocks.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive/archive_format.h"
#include "archive/block/block_decoder.h"
#include "block_rules.h"
#include "exhaustive_parse.h"
#include "test_data.h"
#include "tests/support/worked_example.h"
#include "tools/encoder/block_encoder.h"

namespace {

struct Sample {
  const char* name;
  std::vector<uint8_t> data;
};

std::vector<uint8_t> Repeated(const std::vector<uint8_t>& chunk, size_t size) {
  std::vector<uint8_t> out;
  while (out.size() < size) out.insert(out.end(), chunk.begin(), chunk.end());
  out.resize(size);
  return out;
}

// A sorted word list: each line shares a stem with its neighbours and ends in
// one of a few suffixes, so the best match often starts a byte or three into
// the longest one (the level that looks ahead cuts a match short there).
std::vector<uint8_t> WordList(size_t size, uint32_t seed) {
  static const char* const kSuffixes[] = {"", "s", "ed", "er", "ing", "ingly", "ness", "ly", "ation", "ational", "ive"};
  std::mt19937 engine(seed);
  auto rng = [&engine] { return static_cast<uint32_t>(engine()); };
  std::vector<uint8_t> out;
  while (out.size() < size) {
    std::string stem;
    for (uint32_t n = 3 + rng() % 6; n > 0; --n) stem += static_cast<char>('a' + rng() % 26);
    for (const char* suffix : kSuffixes) {
      if (rng() % 3 == 0) continue;
      std::string line = stem + suffix + "\n";
      out.insert(out.end(), line.begin(), line.end());
    }
  }
  out.resize(size);
  return out;
}

std::vector<Sample> Samples() {
  std::vector<Sample> s;
  s.push_back({"one byte", {0x41}});
  s.push_back({"two bytes", {0x00, 0xFF}});
  s.push_back({"three equal bytes", {7, 7, 7}});
  s.push_back({"run of zeros", std::vector<uint8_t>(100000, 0)});
  s.push_back({"run then random", [] {
                 auto v = std::vector<uint8_t>(3000, 'x');
                 auto r = RandomBytes(3000, 1);
                 v.insert(v.end(), r.begin(), r.end());
                 return v;
               }()});
  s.push_back({"random", RandomBytes(50000, 2)});
  s.push_back({"text", WordySample(200000, 3)});
  s.push_back({"word list", WordList(150000, 7)});
  // Repeats at the smaller levels' farthest distance and beyond it, and a
  // repeat longer than 65,535 bytes (numbers of class 17 and more).
  s.push_back({"period 65535", Repeated(RandomBytes(65535, 4), 80000)});
  s.push_back({"period 70000", Repeated(RandomBytes(70000, 6), 230000)});
  s.push_back({"run of 300000", std::vector<uint8_t>(300000, 0xFF)});
  s.push_back({"all byte values", [] {
                 std::vector<uint8_t> v;
                 for (int i = 0; i < 4096; ++i) v.push_back(static_cast<uint8_t>(i * 7 + i / 256));
                 return v;
               }()});
  return s;
}

void ExpectRoundTrip(const Sample& sample, int level) {
  SCOPED_TRACE(std::string(sample.name) + " at level " + std::to_string(level));
  std::vector<uint8_t> block = EncodeBlock(sample.data.data(), sample.data.size(), level);
  std::vector<uint8_t> seen;
  EXPECT_EQ(block_rules::Check(block, &seen), "");
  EXPECT_TRUE(seen == sample.data);
  uint8_t* out = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(DecodeBlock(block.data(), static_cast<uint32_t>(block.size()), &out, &size, nullptr, 0), DecodeOk);
  ASSERT_EQ(size, sample.data.size());
  EXPECT_TRUE(std::equal(out, out + size, sample.data.begin()));
  FreeBlock(out);
}

}  // namespace

TEST(BlockEncoder, EveryLevelRoundTripsEverySample) {
  for (const Sample& sample : Samples())
    for (int level = kFastestLevel; level <= kBestLevel; ++level) ExpectRoundTrip(sample, level);
}

TEST(BlockEncoder, EmptyDataMakesAnEmptyBlock) {
  std::vector<uint8_t> block = EncodeBlock(nullptr, 0, kDefaultLevel);
  std::vector<uint8_t> seen;
  EXPECT_EQ(block.size(), 268u);
  EXPECT_EQ(block_rules::Check(block, &seen), "");
  EXPECT_TRUE(seen.empty());
}

TEST(BlockEncoder, RepeatsAreFoundAsFarBackAsTheWindowAndNoFurther) {
  // Random bytes, then their first 40,000 again: from the farthest distance
  // of the level's window, and from one byte further.  (Level 9's window of
  // 16 MiB would take too long here; the next test reaches into it.)
  for (int level = kFastestLevel; level < kBestLevel; ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    const uint32_t farthest = (uint32_t{1} << LevelSettings(level).search.windowLog) - 1;
    size_t blockSize[2];
    for (uint32_t beyond : {0u, 1u}) {
      std::vector<uint8_t> data = RandomBytes(farthest + beyond, static_cast<uint32_t>(level));
      data.insert(data.end(), data.begin(), data.begin() + 40000);
      std::vector<uint8_t> block = EncodeBlock(data.data(), data.size(), level);
      std::vector<uint8_t> seen;
      block_rules::Reach reach;
      ASSERT_EQ(block_rules::Check(block, &seen, &reach), "");
      if (beyond == 0)
        EXPECT_EQ(reach.farthest, farthest);
      else
        EXPECT_LE(reach.farthest, farthest);
      blockSize[beyond] = block.size();
    }
    // Found, the repeat costs a few bits; missed, it costs its random bytes.
    EXPECT_LT(blockSize[0] + 40000, blockSize[1]);
  }
}

TEST(BlockEncoder, BestLevelReachesMegabytesBackWithLongMatches) {
  // 3 MiB of random bytes, then their first 1,200,000 again: matches from
  // 3 MiB back (a distance number of class 21), across the end of the
  // parse's first 4 MiB piece, the one before it 1 MiB long (class 19).
  std::vector<uint8_t> data = RandomBytes(3 << 20, 31);
  data.insert(data.end(), data.begin(), data.begin() + 1200000);
  std::vector<uint8_t> block = EncodeBlock(data.data(), data.size(), kBestLevel);
  std::vector<uint8_t> seen;
  block_rules::Reach reach;
  ASSERT_EQ(block_rules::Check(block, &seen, &reach), "");
  EXPECT_TRUE(seen == data);
  EXPECT_EQ(reach.farthest, 3u << 20);
  EXPECT_EQ(reach.longest, 1u << 20);
  // The copy costs a few matches, not its bytes again.
  EXPECT_LT(block.size(), EncodeBlock(data.data(), 3 << 20, kBestLevel).size() + 1000);
}

TEST(BlockEncoder, OptimalParseIsNeverWorseThanTheGreedyLevels) {
  for (const Sample& sample : Samples()) {
    size_t best = EncodeBlock(sample.data.data(), sample.data.size(), kBestLevel).size();
    for (int level = kFastestLevel; level < kBestLevel; ++level)
      // Segment borders cut a match now and then: a few bytes of slack per 32 KiB.
      EXPECT_LE(best, EncodeBlock(sample.data.data(), sample.data.size(), level).size() + sample.data.size() / 16384)
          << sample.name << " level " << level;
  }
}

TEST(BlockEncoder, ProgressReachesTheWholeInput) {
  std::vector<uint8_t> data = WordySample(300000, 9);
  for (int level : {1, 9}) {
    size_t last = 0;
    bool rising = true;
    EncodeBlock(data.data(), data.size(), level, [&](size_t done) {
      rising = rising && done >= last;
      last = done;
    });
    EXPECT_TRUE(rising);
    EXPECT_EQ(last, data.size());
  }
}

TEST(BlockEncoder, RepeatsThatEndTheDataAreCodedAsMatches) {
  // Random bytes, then a copy of 3, 4 or 5 bytes from just before: the best
  // parse is literals and one match at the very end, where the match finders
  // have the fewest bytes left to hash.
  for (size_t tail : {3, 4, 5}) {
    std::vector<uint8_t> data = RandomBytes(700, 20 + static_cast<uint32_t>(tail));
    std::vector<uint8_t> copy(data.end() - 10, data.end() - 10 + static_cast<std::ptrdiff_t>(tail));
    data.insert(data.end(), copy.begin(), copy.end());
    for (int level : {1, 6, 9}) {
      std::vector<uint8_t> block = EncodeBlock(data.data(), data.size(), level);
      uint64_t optimal = (exhaustive::OptimalBits(data.data(), data.size(), block.data() + 12) + 7) / 8;
      EXPECT_EQ(LoadU32(block.data() + 8), optimal) << tail << " bytes at level " << level;
      std::vector<uint8_t> seen;
      EXPECT_EQ(block_rules::Check(block, &seen), "");
      EXPECT_TRUE(seen == data);
    }
  }
}

// docs/format.md shows this block byte for byte as what every level writes.
TEST(BlockEncoder, EveryLevelWritesTheFormatDocumentWorkedExample) {
  const std::string& text = testsupport::kWorkedExampleText;
  for (int level = kFastestLevel; level <= kBestLevel; ++level) {
    EXPECT_EQ(EncodeBlock(reinterpret_cast<const uint8_t*>(text.data()), text.size(), level),
              testsupport::WorkedExampleBlock())
        << "level " << level;
  }
}
