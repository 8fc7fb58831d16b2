#include "tools/encoder/block_encoder.h"

#include <algorithm>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/block_format.h"
#include "tools/encoder/literal_ranking.h"
#include "tools/encoder/parsers.h"

namespace {

// Search effort per level; level 9 parses optimally with the deepest search.
constexpr SearchSettings kLevelSettings[kBestLevel + 1] = {
    {0, 0, false},      // 0: stores (not used here)
    {4, 32, false},     // 1
    {8, 64, false},     // 2
    {8, 64, true},      // 3
    {16, 128, true},    // 4
    {32, 128, true},    // 5
    {64, 256, true},    // 6
    {128, 512, true},   // 7
    {256, 512, true},   // 8
    {128, 256, false},  // 9: optimal
};

}  // namespace

std::vector<uint8_t> EncodeBlock(const uint8_t* data, size_t size, int level,
                                 const EncodeProgress& progress) {
  level = std::clamp(level, kFastestLevel, kBestLevel);
  LiteralRanking ranking = RankLiterals(data, size);
  CodeCosts costs(ranking.rankOfByte);

  std::vector<uint8_t> block(kBlockHeaderSize, 0);
  block.reserve(kBlockHeaderSize + size / 2 + 64);
  TokenWriter writer(&block, ranking.rankOfByte, progress);
  if (level == kBestLevel)
    ParseOptimal(data, size, costs, kLevelSettings[level], &writer);
  else
    ParseGreedy(data, size, costs, kLevelSettings[level], &writer);
  writer.Finish();

  std::memcpy(block.data(), kBlockMagic, sizeof kBlockMagic);
  StoreU32(block.data() + 4, static_cast<uint32_t>(size));
  StoreU32(block.data() + 8, static_cast<uint32_t>(block.size() - kBlockHeaderSize));
  std::memcpy(block.data() + 12, ranking.table.data(), kLiteralCount);
  return block;
}
