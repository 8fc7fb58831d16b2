// Hash chains over the format's 8 KiB window: every position is inserted once,
// in order; a search walks earlier positions with the same 3-byte hash, nearest
// first, and never looks further back than the largest distance.
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
  void Insert(size_t pos);

  // Inserts `pos` and collects matches of strictly increasing length, each at
  // the smallest distance that reaches it, at most `depth` candidates deep;
  // stops early once a match reaches `niceLength`.  Returns the count written
  // to `out` (room for kMaxMatchLength entries is enough).
  size_t FindMatches(size_t pos, uint32_t depth, uint32_t niceLength, Match* out);

  // Inserts `pos` and returns the longest match (length 0 when none).
  Match FindLongest(size_t pos, uint32_t depth, uint32_t niceLength);

 private:
  static constexpr int kHashBits = 15;
  static constexpr uint32_t kWindowSlots = 8192;  // > kMaxDistance, a power of two
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  uint32_t Hash(size_t pos) const;
  uint32_t MatchLength(size_t candidate, size_t pos, uint32_t limit) const;
  // Links `pos` into its chain and answers the chain's previous head.
  uint32_t Link(size_t pos);

  const uint8_t* data_;
  size_t size_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> previous_;  // indexed by position modulo kWindowSlots
};
