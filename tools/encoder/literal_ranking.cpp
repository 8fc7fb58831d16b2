#include "tools/encoder/literal_ranking.h"

#include <algorithm>

LiteralRanking RankLiterals(const uint8_t* data, size_t size) {
  std::array<uint64_t, 256> counts{};
  for (size_t i = 0; i < size; ++i) ++counts[data[i]];
  std::array<uint16_t, 256> order;
  for (uint16_t b = 0; b < 256; ++b) order[b] = b;
  std::stable_sort(order.begin(), order.end(),
                   [&](uint16_t a, uint16_t b) { return counts[a] > counts[b]; });
  LiteralRanking ranking;
  for (int r = 0; r < 256; ++r) {
    ranking.table[r] = static_cast<uint8_t>(order[r]);
    ranking.rankOfByte[order[r]] = static_cast<uint8_t>(r);
  }
  return ranking;
}
