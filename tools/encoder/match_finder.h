// Hash chains over a window of up to the whole data, for the greedy and lazy
// levels.  Positions are chained by a hash of their first 4 bytes, nearest
// first; a second, chainless table remembers the nearest position for each
// 3-byte hash, since a 3-byte match can pay off where literals are dear
// (binary data).  Every position is inserted once, in order; a search never
// looks further back than the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/block/block_format.h"
#include "tools/encoder/byte_compare.h"

// A search that has found a match this long may look further down its chain:
// where long matches are common (HTML), longer ones are worth finding.
constexpr uint32_t kDeepLength = 12;

// The longest match the chains report: a longer repeat costs a new match
// (about 40 bits) per 64 KiB, and the savings the greedy parser weighs, in
// bits, stay far inside 32 bits.
constexpr uint32_t kLongestChainMatch = uint32_t{1} << 16;

struct Match {
  uint32_t length;
  uint32_t distance;
};

class MatchFinder {
 public:
  // Distances reach up to 2^windowLog - 1 (or back to the data's first
  // byte); the chains take 4 bytes per position of the window or of the
  // data, whichever is smaller.
  // Matches are at most `longestMatch` long (at most kLongestChainMatch).
  MatchFinder(const uint8_t* data, size_t size, uint32_t windowLog, uint32_t longestMatch);

  // Inserts `pos`; positions must be inserted in increasing order, each once.
  void Insert(size_t pos) { Link(pos); }

  // Inserts `pos`, a position inside a long repeat, into its chain only: the
  // 3-byte table keeps the repeat's source, and a long repeat saves a write
  // to it per byte (level 6 is a tenth faster on HTML for 0.01 % in size).
  void InsertInsideRepeat(size_t pos) {
    if (size_ - pos < 4) return;
    uint32_t h = (Load32(data_ + pos) * 2654435761u) >> (32 - hashBits_);
    previous_[pos & maxDistance_] = head_[h];
    head_[h] = static_cast<uint32_t>(pos);
  }

  // Inserts `pos` and hands matches of strictly increasing length to
  // `visit(length, distance)`, each at the nearest distance among the
  // candidates seen, at most `depth` chain entries deep (`deeper` more once a
  // match reaches kDeepLength); stops once a match reaches `niceLength`.
  // Only matches longer than `shorter` are looked for: a candidate must agree
  // on the 4 bytes that end at the longest length so far, so a longer floor
  // turns most candidates away at one comparison.
  template <typename Visit>
  void VisitMatches(size_t pos, uint32_t depth, uint32_t niceLength, Visit&& visit,
                    uint32_t shorter = kMinMatchLength - 1, uint32_t deeper = 0);

 private:
  static constexpr int kMostHashBits = 16;
  static constexpr uint32_t kNone = 0xFFFFFFFFu;

  // Links `pos` into its chain; answers the chain's previous head and, in
  // *nearest3, the previous position with the same 3-byte hash.
  // The last 3 bytes of the data have a 3-byte hash but no chain.
  uint32_t Link(size_t pos, uint32_t* nearest3 = nullptr) {
    size_t left = size_ - pos;
    if (nearest3) *nearest3 = kNone;
    if (left < kMinMatchLength) return kNone;
    uint32_t four = left >= 4 ? Load32(data_ + pos) : Load24(data_ + pos);
    uint32_t h3 = ((four & 0xFFFFFFu) * 2654435761u) >> (32 - hashBits_);
    if (nearest3) *nearest3 = short_[h3];
    short_[h3] = static_cast<uint32_t>(pos);
    if (left < 4) return kNone;
    uint32_t h = (four * 2654435761u) >> (32 - hashBits_);
    uint32_t first = head_[h];
    previous_[pos & maxDistance_] = first;
    head_[h] = static_cast<uint32_t>(pos);
    return first;
  }

  static uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  // The same three bytes as the low ones of Load32 on a little-endian machine.
  static uint32_t Load24(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16; }

  const uint8_t* data_;
  size_t size_;
  uint32_t maxDistance_;            // the window's size less one: a mask of slot numbers
  uint32_t longestMatch_;
  int hashBits_;                    // of both tables: fewer for small data
  std::vector<uint32_t> head_;
  std::vector<uint32_t> previous_;  // indexed by position modulo the window
  std::vector<uint32_t> short_;     // per 3-byte hash: the newest position
};

template <typename Visit>
void MatchFinder::VisitMatches(size_t pos, uint32_t depth, uint32_t niceLength, Visit&& visit, uint32_t shorter,
                               uint32_t deeper) {
  uint32_t nearest3;
  uint32_t candidate = Link(pos, &nearest3);
  if (nearest3 == kNone && candidate == kNone) return;
  uint32_t limit = static_cast<uint32_t>(longestMatch_ < size_ - pos ? longestMatch_ : size_ - pos);
  const uint8_t* current = data_ + pos;
  // A 3-byte match from the short table, when it is one and is near enough.
  if (shorter < kMinMatchLength && nearest3 != kNone && pos - nearest3 <= maxDistance_ &&
      std::memcmp(data_ + nearest3, current, 3) == 0)
    visit(uint32_t{3}, static_cast<uint32_t>(pos - nearest3));
  // Chain candidates: one can beat `best` only if it agrees on the 4 bytes
  // that end at `best`.
  uint32_t best = shorter < kMinMatchLength ? kMinMatchLength : shorter;
  if (best >= limit) return;
  while (candidate != kNone && depth-- > 0) {
    size_t distance = pos - candidate;
    if (distance > maxDistance_) break;
    const uint8_t* earlier = data_ + candidate;
    if (Load32(earlier + best - 3) == Load32(current + best - 3)) {
      uint32_t length = CommonLength(earlier, current, limit);
      if (length > best) {
        if (length >= kDeepLength && best < kDeepLength) depth += deeper;
        best = length;
        visit(length, static_cast<uint32_t>(distance));
        if (length >= niceLength || length == limit) break;
      }
    }
    candidate = previous_[candidate & maxDistance_];
  }
}
