#include "tools/encoder/block_encoder.h"

#include <algorithm>
#include <cstring>

#include "archive/archive_format.h"
#include "archive/block/block_format.h"
#include "tools/encoder/literal_ranking.h"
#include "tools/encoder/parsers.h"

namespace {

// Search effort per level: greedy, then lazy with deeper chains; level 9
// parses optimally over binary-tree matches.  From level 6, the default, the
// parse looks up to 3 bytes ahead behind short matches, which text rewards (a
// word list comes out 2 % smaller), with shallow looks to stay fast.
constexpr SearchSettings kLevelSettings[kBestLevel + 1] = {
    {0, 0, 0, 0, 0},         // 0: stores (not used here)
    {4, 16, 0, 0, 0},        // 1
    {8, 32, 0, 0, 0},        // 2
    {4, 16, 1, 4, 0},        // 3
    {8, 32, 1, 8, 0},        // 4
    {12, 64, 1, 12, 0},      // 5
    {14, 128, 3, 8, 48},     // 6
    {32, 128, 3, 16, 96},    // 7
    {64, 256, 3, 32, 128},   // 8
    {24, 128, 0, 0, 0},      // 9: optimal, tree nodes visited per position
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
