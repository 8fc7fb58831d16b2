// The literal table of a block: every byte value once, the byte with the most
// literals first, so frequent literals get the shortest codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct LiteralRanking {
  std::array<uint8_t, 256> table;       // table[r]: the byte of literal number r
  std::array<uint8_t, 256> rankOfByte;  // the inverse: the literal number of a byte

  bool operator==(const LiteralRanking& other) const { return table == other.table; }
};

using ByteCounts = std::array<uint64_t, 256>;

// How often each byte value occurs in `data`.
ByteCounts CountBytes(const uint8_t* data, size_t size);

// Ranks bytes by falling literal count; ties go to the byte more frequent in
// the data (`dataCounts`), then to the smaller byte value.  Before any parse,
// with no literal counts, the data's own frequencies decide.
LiteralRanking RankLiterals(const ByteCounts& literalCounts, const ByteCounts& dataCounts);
