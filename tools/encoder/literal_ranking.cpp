#include "tools/encoder/literal_ranking.h"

#include <algorithm>

ByteCounts CountBytes(const uint8_t* data, size_t size) {
  // Four tables, so that a run of one byte value does not make each count
  // wait for the one before it.
  std::array<ByteCounts, 4> partial{};
  size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    ++partial[0][data[i]];
    ++partial[1][data[i + 1]];
    ++partial[2][data[i + 2]];
    ++partial[3][data[i + 3]];
  }
  for (; i < size; ++i) ++partial[0][data[i]];
  ByteCounts counts;
  for (int b = 0; b < 256; ++b) counts[b] = partial[0][b] + partial[1][b] + partial[2][b] + partial[3][b];
  return counts;
}

LiteralRanking RankLiterals(const ByteCounts& literalCounts, const ByteCounts& dataCounts) {
  std::array<uint16_t, 256> order;
  for (uint16_t b = 0; b < 256; ++b) order[b] = b;
  std::stable_sort(order.begin(), order.end(), [&](uint16_t a, uint16_t b) {
    if (literalCounts[a] != literalCounts[b]) return literalCounts[a] > literalCounts[b];
    return dataCounts[a] > dataCounts[b];
  });
  LiteralRanking ranking;
  for (int r = 0; r < 256; ++r) {
    ranking.table[r] = static_cast<uint8_t>(order[r]);
    ranking.rankOfByte[order[r]] = static_cast<uint8_t>(r);
  }
  return ranking;
}
