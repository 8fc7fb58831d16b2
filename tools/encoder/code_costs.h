// Exact bit costs of the block format's number code, for the parsers' inner
// loops: a literal of rank r costs CodeBits(r), a match of length n at
// distance d costs CodeBits(256 + d) + CodeBits(n - 3).
#pragma once

#include <array>
#include <cstdint>

#include "archive/block/block_format.h"

// CodeBits by a bit scan: v + 2 has its top bit at the class k.
inline uint32_t NumberBits(uint32_t v) { return 2 * static_cast<uint32_t>(31 - __builtin_clz(v + 2)); }

// The longest match length that costs as much as `length` (3 or more): the
// code class of n - 3 spans the lengths 2^k + 1 .. 2^(k+1).
inline uint32_t LengthClassEnd(uint32_t length) { return uint32_t{2} << (31 - __builtin_clz(length - 1)); }

inline uint32_t DistanceBits(uint32_t distance) { return NumberBits(kFirstMatchCode + distance); }
inline uint32_t LengthBits(uint32_t length) { return NumberBits(length - kMinMatchLength); }

struct CodeCosts {
  std::array<uint8_t, 256> literalBits{};  // index: the byte value

  // Literal costs follow the ranking: rankOfByte[b] is b's literal number.
  explicit CodeCosts(const std::array<uint8_t, 256>& rankOfByte) {
    for (uint32_t b = 0; b < 256; ++b) literalBits[b] = static_cast<uint8_t>(NumberBits(rankOfByte[b]));
  }

  static uint32_t Match(uint32_t length, uint32_t distance) { return DistanceBits(distance) + LengthBits(length); }
};
