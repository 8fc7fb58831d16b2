// A test-side reader of produced blocks, written apart from the decoder, that
// checks every rule a produced block keeps: magic, sizes, a literal table
// that is a permutation ranked by falling count of literal tokens (ties by
// falling count of the byte in the decoded data), distances that never reach
// before the start, lengths of 3 or more, tokens ending exactly at the
// decoded size, and a zero-filled, fully used last byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/number_code_reader.h"

namespace block_rules {

inline uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

// The farthest distance and the longest length among a block's matches.
struct Reach {
  uint64_t farthest = 0;
  uint64_t longest = 0;
};

// Empty when every rule holds; otherwise the first broken rule.  On success
// *decoded holds the block's bytes as this reader understands them, and
// *reach (when given) how far its matches go.
inline std::string Check(const std::vector<uint8_t>& block, std::vector<uint8_t>* decoded, Reach* reach = nullptr) {
  if (block.size() < 268) return "shorter than the header";
  if (std::memcmp(block.data(), "QZC\x1A", 4) != 0) return "bad magic";
  uint32_t decodedSize = U32(&block[4]);
  uint32_t streamSize = U32(&block[8]);
  if (uint64_t{streamSize} + 268 != block.size()) return "block size is not 268 + bitStreamSize";
  const uint8_t* table = &block[12];
  bool seen[256] = {};
  for (int r = 0; r < 256; ++r) {
    if (seen[table[r]]) return "literal table repeats a byte";
    seen[table[r]] = true;
  }
  decoded->clear();
  Reach found;
  uint64_t literalCounts[256] = {};
  testsupport::NumberCodeReader bits(block.data() + 268, streamSize);
  while (decoded->size() < decodedSize) {
    testsupport::StreamToken token;
    if (!testsupport::ReadToken(bits, &token)) return "stream ends inside a token";
    if (token.IsLiteral()) {
      decoded->push_back(table[token.first]);
      ++literalCounts[table[token.first]];
      continue;
    }
    if (!testsupport::MatchReachesOutput(token, decoded->size())) return "distance 0 or before the start";
    if (token.length > decodedSize - decoded->size()) return "match runs past the decoded size";
    found.farthest = std::max(found.farthest, token.distance);
    found.longest = std::max(found.longest, token.length);
    const size_t distance = static_cast<size_t>(token.distance);
    for (uint64_t i = 0; i < token.length; ++i) decoded->push_back((*decoded)[decoded->size() - distance]);
  }
  if ((bits.position() + 7) / 8 != streamSize) return "stream has unused bytes at its end";
  for (uint64_t bit = 0; bits.Bit(&bit);)
    if (bit != 0) return "fill bits of the last byte are not zero";
  uint64_t dataCounts[256] = {};
  for (uint8_t b : *decoded) ++dataCounts[b];
  for (int r = 0; r + 1 < 256; ++r) {
    const uint8_t a = table[r], b = table[r + 1];
    if (literalCounts[a] < literalCounts[b]) return "literal table not ranked by falling literal count";
    if (literalCounts[a] == literalCounts[b] && dataCounts[a] < dataCounts[b])
      return "literal table ties not ranked by falling byte count";
  }
  if (reach != nullptr) *reach = found;
  return std::string();
}

}  // namespace block_rules
