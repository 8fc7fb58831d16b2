// A test-side reader of produced blocks, written apart from the decoder, that
// checks every rule a produced block keeps: magic, sizes, a literal table that
// is a permutation ranked by falling byte frequency, distances 1..8191 that
// never reach before the start, lengths 3..512, tokens ending exactly at the
// decoded size, and a zero-filled, fully used last byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/number_code_reader.h"

namespace block_rules {

inline uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

// Empty when every rule holds; otherwise the first broken rule.  On success
// *decoded holds the block's bytes as this reader understands them.
inline std::string Check(const std::vector<uint8_t>& block, std::vector<uint8_t>* decoded) {
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
  testsupport::NumberCodeReader bits(block.data() + 268, streamSize);
  while (decoded->size() < decodedSize) {
    uint64_t first;
    if (!bits.Number(&first)) return "stream ends early";
    if (first < 256) {
      decoded->push_back(table[first]);
      continue;
    }
    uint64_t second;
    if (!bits.Number(&second)) return "stream ends inside a match";
    if (first - 256 < 1 || first - 256 > 8191) return "distance outside 1..8191";
    const size_t distance = static_cast<size_t>(first - 256);
    const uint64_t length = second + 3;
    if (distance > decoded->size()) return "distance reaches before the start";
    if (length > 512) return "length over 512";
    if (length > decodedSize - decoded->size()) return "match runs past the decoded size";
    for (uint64_t i = 0; i < length; ++i) decoded->push_back((*decoded)[decoded->size() - distance]);
  }
  if ((bits.position() + 7) / 8 != streamSize) return "stream has unused bytes at its end";
  for (uint64_t bit = 0; bits.Bit(&bit);)
    if (bit != 0) return "fill bits of the last byte are not zero";
  uint64_t counts[256] = {};
  for (uint8_t b : *decoded) ++counts[b];
  for (int r = 0; r + 1 < 256; ++r)
    if (counts[table[r]] < counts[table[r + 1]]) return "literal table not ranked by falling frequency";
  return std::string();
}

}  // namespace block_rules
