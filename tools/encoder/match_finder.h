// Hash chains over the format's 8 KiB window, for the greedy and lazy levels.
// Positions are chained by a hash of their first 4 bytes, nearest first; a
// second, chainless table remembers the nearest position for each 3-byte hash,
// since a 3-byte match can pay off where literals are dear (binary data).
// Every position is inserted once, in order; a search never looks further
// back than the largest distance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/block_format.h"

struct Match {
  uint32_t length;
  uint32_t distance;
};

class MatchFinder {
 public:
  MatchFinder(const uint8_t* data, size_t size);

  // Inserts `pos`; positions must be inserted in increasing order, each once.
  void Insert(size_t pos) { Link(pos); }

  // Inserts `pos` and collects matches of strictly increasing length, each at
  // the nearest distance among the candidates seen, at most `depth` chain
  // entries deep; stops once a match reaches `niceLength`.  Returns the count
  // written to `out` (room for kMaxMatchLength entries is enough).
  size_t FindMatches(size_t pos, uint32_t depth, uint32_t niceLength, Match* out);

 private:
  static constexpr int kHashBits = 15;
  static constexpr int kShortHashBits = 12;
  static constexpr uint32_t kWindowSlots = 8192;  // > kMaxDistance, a power of two
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  // Links `pos` into its chain; answers the chain's previous head and, in
  // *nearest3, the previous position with the same 3-byte hash.
  uint32_t Link(size_t pos, uint32_t* nearest3 = nullptr);

  const uint8_t* data_;
  size_t size_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> previous_;  // indexed by position modulo kWindowSlots
  std::vector<uint32_t> short_;     // per 3-byte hash: the newest position
};
