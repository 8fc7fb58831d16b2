// Binary search trees over a window of up to the whole data, for the optimal
// parse.  Earlier positions that share a 4-byte hash form one tree, ordered by
// the bytes that follow them (at most `keyLength` of them) and with the newest
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
  // Distances reach up to 2^windowLog - 1 (or back to the data's first byte,
  // when that is nearer); the trees take 8 bytes per position of the window
  // or of the data, whichever is smaller.  `depth` bounds the nodes visited
  // per position: a tree deeper than that loses its older part.  A match
  // that agrees on `keyLength` bytes is followed to its full length, or to
  // `longestMatch`.
  TreeMatchFinder(const uint8_t* data, size_t size, uint32_t windowLog, uint32_t longestMatch, uint32_t depth,
                  uint32_t keyLength);

  // Room FindMatches needs in its output.
  size_t MostMatches() const { return depth_ + 2; }

  // Inserts `pos` and writes matches of strictly increasing length and
  // increasing distance, each at the nearest distance the walk met that
  // reaches it, to `out` (MostMatches() entries); returns their count.
  // Positions must be inserted in increasing order, each once, through this
  // or Skip.
  size_t FindMatches(size_t pos, Match* out) { return Insert(pos, out); }

  // Inserts `pos` without reporting matches.
  void Skip(size_t pos) { Insert(pos, nullptr); }

 private:
  static constexpr int kMostHashBits = 20;       // of the tree roots
  static constexpr int kMostShortHashBits = 16;  // of the 3-byte table
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  size_t Insert(size_t pos, Match* out);

  const uint8_t* data_;
  size_t size_;
  uint32_t depth_;
  uint32_t keyLength_;
  uint32_t longestMatch_;
  uint32_t maxDistance_;  // the window's size less one: a mask of slot numbers
  int hashBits_;          // both fewer for small data
  int shortHashBits_;
  std::vector<uint32_t> root_;  // per hash: the newest position
  // Per slot (a position modulo the window), two links side by side:
  // [2 * slot] the subtree of smaller byte strings, [2 * slot + 1] the
  // subtree of larger ones.
  std::vector<uint32_t> links_;
  std::vector<uint32_t> nearest3_;  // per 3-byte hash: the newest position
};
