// The best level codes its data within 0.5 % of the exhaustive optimal parse
// for the block's own literal table, and never below it.
#include <gtest/gtest.h>

#include "archive/archive_format.h"
#include "exhaustive_parse.h"
#include "test_data.h"
#include "tools/encoder/block_encoder.h"

namespace {

struct Sample {
  const char* name;
  std::vector<uint8_t> data;
};

std::vector<Sample> Samples() {
  std::vector<Sample> s;
  s.push_back({"text", WordySample(24000, 11)});
  s.push_back({"machine code", CodeLikeSample(24000, 12)});
  s.push_back({"random", RandomBytes(6000, 13)});
  s.push_back({"runs and repeats", [] {
                 std::vector<uint8_t> v = CodeLikeSample(9000, 15);
                 v.insert(v.end(), 3000, 0);
                 std::vector<uint8_t> again(v.begin() + 100, v.begin() + 8000);
                 v.insert(v.end(), again.begin(), again.end());
                 return v;
               }()});
  return s;
}

}  // namespace

TEST(OptimalParse, DistanceCostNeverFallsWithDistance) {
  // The reference relies on this to price each length at its nearest distance.
  for (uint32_t d = 1; d < (1u << 22); ++d)
    ASSERT_LE(exhaustive::NumberBits(256 + d), exhaustive::NumberBits(256 + d + 1)) << d;
}

TEST(OptimalParse, BestLevelIsWithinHalfAPercentOfTheExhaustiveParse) {
  for (const Sample& sample : Samples()) {
    std::vector<uint8_t> block = EncodeBlock(sample.data.data(), sample.data.size(), 9);
    uint64_t stream = LoadU32(block.data() + 8);
    uint64_t optimal = (exhaustive::OptimalBits(sample.data.data(), sample.data.size(), block.data() + 12) + 7) / 8;
    EXPECT_GE(stream, optimal) << sample.name;
    EXPECT_LE(static_cast<double>(stream), static_cast<double>(optimal) * 1.005) << sample.name;
  }
}
