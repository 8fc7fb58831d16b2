// Any bytes, encoded at every level and with search settings drawn from the
// input itself (small windows, shallow or deep searches, short longest
// matches, so that window ends and length caps fall inside small inputs),
// give a block that keeps every rule of produced blocks, never reaches past
// its window or its longest match, and that the stub's decoder turns back
// into the same bytes.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive/block/block_decoder.h"
#include "block_rules.h"
#include "fuzz/fuzz_target.h"
#include "tools/encoder/block_encoder.h"

namespace {

// Large enough for several windows of the drawn settings and long matches,
// small enough that the optimal parse keeps the fuzzer fast.
constexpr size_t kMaxInput = 64 * 1024;

void CheckRoundTrip(const std::vector<uint8_t>& block, const uint8_t* data, size_t size, uint64_t farthest,
                    uint64_t longest, const std::string& what) {
  std::vector<uint8_t> understood;
  block_rules::Reach reach;
  const std::string broken = block_rules::Check(block, &understood, &reach);
  if (!broken.empty()) std::fprintf(stderr, "%s: %s\n", what.c_str(), broken.c_str());
  FUZZ_CHECK(broken.empty());
  FUZZ_CHECK(reach.farthest <= farthest);
  FUZZ_CHECK(reach.longest <= longest);

  uint8_t* decoded = nullptr;
  uint32_t decodedSize = 0;
  FUZZ_CHECK(DecodeBlock(block.data(), static_cast<uint32_t>(block.size()), &decoded, &decodedSize, nullptr, 0) ==
             DecodeOk);
  FUZZ_CHECK(decodedSize == size);
  FUZZ_CHECK(size == 0 || std::memcmp(decoded, data, size) == 0);
  FUZZ_CHECK(FreeBlock(decoded) == DecodeOk);
}

// Settings from the input's first four bytes: which parse, a window of 16
// bytes to 64 KiB, 1 to 64 candidates, a nice length of 3 to 258, a
// longest match of 3 to 255 bytes or any, one or two passes, and a
// ranking parse or none.
EncoderSettings DrawnSettings(const uint8_t* bytes) {
  EncoderSettings s{};
  s.optimal = (bytes[0] & 1) != 0;
  s.search.windowLog = 4 + (bytes[0] >> 1) % 13;
  s.search.depth = 1 + bytes[1] % 64;
  s.search.niceLength = 3 + bytes[2];
  s.search.longestMatch = (bytes[3] & 3) == 0 ? kAnyLength : 3 + (bytes[3] >> 2) * 4;
  s.search.lookAhead = (bytes[1] >> 6) & 3;
  s.search.aheadDepth = 1 + bytes[2] % 16;
  s.search.deeper = bytes[3] & 0x40;
  s.rankingLevel = (bytes[0] & 0x80) ? 1 : 0;
  s.passes = 1 + ((bytes[1] >> 5) & 1);
  return s;
}

// The farthest distance and the longest length that blocks made with
// `settings` may hold: the parse that ranks the literals may be the one kept.
struct Reach {
  uint64_t farthest;
  uint64_t longest;
};
Reach ReachOf(const EncoderSettings& settings) {
  Reach reach{(uint64_t{1} << settings.search.windowLog) - 1, settings.search.longestMatch};
  if (settings.rankingLevel > 0) {
    const Reach ranking = ReachOf(LevelSettings(settings.rankingLevel));
    reach = Reach{std::max(reach.farthest, ranking.farthest), std::max(reach.longest, ranking.longest)};
  }
  return reach;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  for (int level = kFastestLevel; level <= kBestLevel; ++level) {
    const Reach reach = ReachOf(LevelSettings(level));
    CheckRoundTrip(EncodeBlock(data, size, level), data, size, reach.farthest, reach.longest,
                   "level " + std::to_string(level));
  }
  if (size >= 4) {
    const EncoderSettings settings = DrawnSettings(data);
    const Reach reach = ReachOf(settings);
    CheckRoundTrip(EncodeBlockWith(data + 4, size - 4, settings), data + 4, size - 4, reach.farthest, reach.longest,
                   "drawn settings");
  }
  return 0;
}
