#include "tools/encoder/block_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "archive/archive_format.h"
#include "archive/block/block_format.h"
#include "tools/encoder/literal_ranking.h"
#include "tools/encoder/parsers.h"

namespace {

// Search effort per level, chosen from the benchmark's measurements.  Levels
// 1 to 7 parse greedily (1, 2) or lazily over hash chains whose window grows
// from 64 KiB to 2 MiB; from level 6, the default, the parse looks up to 3
// bytes ahead behind short matches, which text rewards, with shallow looks to
// stay fast.  Levels 8 and 9 parse optimally over binary trees of a 4 MiB
// and a 16 MiB window, with the literal table first ranked by the literals
// of a level-1 or level-6 parse, so that literals are priced at about what
// they will cost (3 % smaller on a word list than ranking by the data's bytes).
constexpr uint32_t k64K = uint32_t{1} << 16;
constexpr EncoderSettings kLevelSettings[kBestLevel + 1] = {
    // optimal, {windowLog, longestMatch, depth, niceLength, lookAhead, aheadDepth, deeper}, rankingLevel, passes
    {false, {16, k64K, 0, 0, 0, 0, 0}, 0, 1},             // 0: stores (not used here)
    {false, {16, k64K, 4, 16, 0, 0, 0}, 0, 1},            // 1
    {false, {17, k64K, 8, 32, 0, 0, 0}, 0, 1},            // 2
    {false, {18, k64K, 4, 16, 1, 4, 0}, 0, 1},            // 3
    {false, {18, k64K, 8, 32, 1, 8, 0}, 0, 1},            // 4
    {false, {19, k64K, 12, 64, 1, 12, 0}, 0, 1},          // 5
    {false, {19, k64K, 14, 128, 3, 8, 48}, 0, 1},         // 6
    {false, {21, k64K, 32, 128, 3, 16, 96}, 0, 1},        // 7
    {true, {22, kAnyLength, 16, 128, 0, 0, 0}, 1, 1},     // 8: depth is tree nodes visited per position
    {true, {24, kAnyLength, 32, 256, 0, 0, 0}, 6, 1},     // 9
};

// One parse: its tokens, and the table ranked by its literals with the
// stream length that table gives.
struct Pass {
  TokenBuffer tokens;
  LiteralRanking ranking;
  uint64_t bits;
};

std::unique_ptr<Pass> RunPass(const uint8_t* data, size_t size, const EncoderSettings& settings,
                              const LiteralRanking& ranking, const ByteCounts& dataCounts,
                              const EncodeProgress& progress) {
  auto pass = std::make_unique<Pass>(Pass{TokenBuffer(progress), {}, 0});
  CodeCosts costs(ranking.rankOfByte);
  if (settings.optimal)
    ParseOptimal(data, size, costs, settings.search, &pass->tokens);
  else
    ParseGreedy(data, size, costs, settings.search, &pass->tokens);
  pass->ranking = RankLiterals(pass->tokens.literalCounts(), dataCounts);
  pass->bits = pass->tokens.StreamBits(pass->ranking.rankOfByte);
  return pass;
}

}  // namespace

EncoderSettings LevelSettings(int level) { return kLevelSettings[std::clamp(level, kFastestLevel, kBestLevel)]; }

std::vector<uint8_t> EncodeBlock(const uint8_t* data, size_t size, int level, const EncodeProgress& progress) {
  return EncodeBlockWith(data, size, LevelSettings(level), progress);
}

std::vector<uint8_t> EncodeBlockWith(const uint8_t* data, size_t size, const EncoderSettings& settings,
                                     const EncodeProgress& progress) {
  // The parses in order: the ranking level's, then `passes` at these settings.
  std::vector<EncoderSettings> parses;
  if (settings.rankingLevel > 0) parses.push_back(kLevelSettings[settings.rankingLevel]);
  parses.insert(parses.end(), std::max<uint32_t>(settings.passes, 1), settings);

  const ByteCounts dataCounts = CountBytes(data, size);
  LiteralRanking ranking = RankLiterals(ByteCounts{}, dataCounts);
  std::unique_ptr<Pass> best;
  const size_t count = parses.size();
  const size_t firstOwn = settings.rankingLevel > 0 ? 1 : 0;
  for (size_t p = 0; p < count; ++p) {
    // Progress runs over all parses as one sweep of the data.
    EncodeProgress passProgress;
    if (progress)
      passProgress = [&progress, p, size, count](size_t done) {
        progress(static_cast<size_t>((uint64_t{p} * size + done) / count));
      };
    std::unique_ptr<Pass> pass = RunPass(data, size, parses[p], ranking, dataCounts, passProgress);
    bool sameTable = pass->ranking == ranking;
    ranking = pass->ranking;
    if (!best || pass->bits < best->bits) best = std::move(pass);
    // The same settings with the same table would give the same parse again.
    if (sameTable && p >= firstOwn) break;
  }
  if (progress && count > 1) progress(size);
  // The block's table is ranked by the chosen parse's own literals.
  std::vector<uint8_t> block(kBlockHeaderSize);
  block.reserve(kBlockHeaderSize + static_cast<size_t>(best->bits / 8) + 8);
  best->tokens.WriteStream(best->ranking.rankOfByte, &block);
  std::memcpy(block.data(), kBlockMagic, sizeof kBlockMagic);
  StoreU32(block.data() + 4, static_cast<uint32_t>(size));
  StoreU32(block.data() + 8, static_cast<uint32_t>(block.size() - kBlockHeaderSize));
  std::memcpy(block.data() + 12, best->ranking.table.data(), kLiteralCount);
  return block;
}
