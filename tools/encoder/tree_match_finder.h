// Binary search trees over the format's 8 KiB window, for the optimal parse.
// Earlier positions that share a 4-byte hash form one tree, ordered by the
// bytes that follow them (at most kMaxMatchLength of them) and with the newest
// position at the root, every node newer than the nodes below it.  Inserting a
// position walks down from the root and splits the tree around it, so the walk
// meets both neighbours in byte order of every length, and for each length the
// newest position that reaches it: the nearest, cheapest distance.  Matches of
// exactly 3 bytes come from a table of the newest position per 3-byte hash,
// which keeps the trees smaller and the walks shorter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/encoder/match_finder.h"

class TreeMatchFinder {
 public:
  // `depth` bounds the nodes visited per position; a tree deeper than that
  // loses its older part.
  TreeMatchFinder(const uint8_t* data, size_t size, uint32_t depth);

  // Inserts `pos` and writes matches of strictly increasing length, each at
  // the nearest distance that reaches it, to `out` (room for kMaxMatchLength
  // entries is enough); returns their count.  Positions must be inserted in
  // increasing order, each once, through this or Skip.
  size_t FindMatches(size_t pos, Match* out) { return Insert(pos, out); }

  // Inserts `pos` without reporting matches.
  void Skip(size_t pos) { Insert(pos, nullptr); }

 private:
  static constexpr int kMostHashBits = 14;       // of the tree roots
  static constexpr int kMostShortHashBits = 16;  // of the 3-byte table
  static constexpr uint32_t kWindowSlots = 8192;  // > kMaxDistance, a power of two
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  size_t Insert(size_t pos, Match* out);

  const uint8_t* data_;
  size_t size_;
  uint32_t depth_;
  int hashBits_;       // both fewer for small data
  int shortHashBits_;
  std::vector<uint32_t> root_;     // per hash: the newest position
  // Per slot, two links side by side: [2 * slot] the subtree of smaller byte
  // strings, [2 * slot + 1] the subtree of larger ones.
  std::vector<uint32_t> links_;
  std::vector<uint32_t> nearest3_;  // per 3-byte hash: the newest position
};
