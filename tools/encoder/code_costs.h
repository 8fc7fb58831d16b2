// Exact bit costs of the block format's number code, as tables the parsers
// consult in their inner loops: a literal of rank r costs CodeBits(r), a match
// of length n at distance d costs CodeBits(256 + d) + CodeBits(n - 3).
#pragma once

#include <array>
#include <cstdint>

#include "archive/block/block_format.h"

// CodeBits by a bit scan: v + 2 has its top bit at the class k.
inline uint32_t NumberBits(uint32_t v) { return 2 * static_cast<uint32_t>(31 - __builtin_clz(v + 2)); }

// The longest match length that costs as much as `length` (3..512): the
// code class of n - 3 spans the lengths 2^k + 1 .. 2^(k+1).
inline uint32_t LengthClassEnd(uint32_t length) { return uint32_t{2} << (31 - __builtin_clz(length - 1)); }

struct CodeCosts {
  std::array<uint8_t, kMaxDistance + 1> distanceBits{};    // index d, 1..8191
  std::array<uint8_t, kMaxMatchLength + 1> lengthBits{};   // index n, 3..512
  std::array<uint8_t, 256> literalBits{};                  // index: the byte value

  // Literal costs follow the ranking: rankOfByte[b] is b's literal number.
  explicit CodeCosts(const std::array<uint8_t, 256>& rankOfByte) {
    for (uint32_t d = 1; d <= kMaxDistance; ++d)
      distanceBits[d] = static_cast<uint8_t>(NumberBits(kFirstMatchCode + d));
    for (uint32_t n = kMinMatchLength; n <= kMaxMatchLength; ++n)
      lengthBits[n] = static_cast<uint8_t>(NumberBits(n - kMinMatchLength));
    for (uint32_t b = 0; b < 256; ++b) literalBits[b] = static_cast<uint8_t>(NumberBits(rankOfByte[b]));
  }

  uint32_t Match(uint32_t length, uint32_t distance) const {
    return uint32_t{distanceBits[distance]} + lengthBits[length];
  }
};
