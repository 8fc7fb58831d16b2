// The literal table of a block: every byte value once, the most frequent byte
// of the data first, so frequent bytes get the shortest literal codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct LiteralRanking {
  std::array<uint8_t, 256> table;       // table[r]: the byte of literal number r
  std::array<uint8_t, 256> rankOfByte;  // the inverse: the literal number of a byte
};

// Ranks bytes by falling frequency in `data`; ties go to the smaller byte value.
LiteralRanking RankLiterals(const uint8_t* data, size_t size);
