#include "tools/encoder/match_finder.h"

#include <algorithm>
#include <cstring>

MatchFinder::MatchFinder(const uint8_t* data, size_t size)
    : data_(data), size_(size), head_(size_t{1} << kHashBits, kNone), previous_(kWindowSlots, kNone) {}

uint32_t MatchFinder::Hash(size_t pos) const {
  uint32_t v = uint32_t{data_[pos]} << 16 | uint32_t{data_[pos + 1]} << 8 | data_[pos + 2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

uint32_t MatchFinder::Link(size_t pos) {
  if (pos + kMinMatchLength > size_) return kNone;
  uint32_t h = Hash(pos);
  uint32_t first = head_[h];
  previous_[pos & (kWindowSlots - 1)] = first;
  head_[h] = static_cast<uint32_t>(pos);
  return first;
}

void MatchFinder::Insert(size_t pos) { Link(pos); }

uint32_t MatchFinder::MatchLength(size_t candidate, size_t pos, uint32_t limit) const {
  const uint8_t* a = data_ + candidate;
  const uint8_t* b = data_ + pos;
  uint32_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) {
      uint64_t diff = x ^ y;
      // Little-endian hosts: the first differing byte is the lowest set byte.
      return n + static_cast<uint32_t>(__builtin_ctzll(diff) / 8);
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

size_t MatchFinder::FindMatches(size_t pos, uint32_t depth, uint32_t niceLength, Match* out) {
  uint32_t candidate = Link(pos);
  if (candidate == kNone) return 0;
  uint32_t limit = static_cast<uint32_t>(std::min<size_t>(kMaxMatchLength, size_ - pos));
  uint32_t best = kMinMatchLength - 1;
  size_t count = 0;
  while (candidate != kNone && depth-- > 0) {
    size_t distance = pos - candidate;
    if (distance > kMaxDistance) break;
    // A candidate can only beat `best` if it agrees at that position.
    if (data_[candidate + best] == data_[pos + best]) {
      uint32_t length = MatchLength(candidate, pos, limit);
      if (length > best) {
        best = length;
        out[count++] = Match{length, static_cast<uint32_t>(distance)};
        if (length >= niceLength || length == limit) break;
      }
    }
    candidate = previous_[candidate & (kWindowSlots - 1)];
  }
  return count;
}

Match MatchFinder::FindLongest(size_t pos, uint32_t depth, uint32_t niceLength) {
  uint32_t candidate = Link(pos);
  Match best{0, 0};
  if (candidate == kNone) return best;
  uint32_t limit = static_cast<uint32_t>(std::min<size_t>(kMaxMatchLength, size_ - pos));
  uint32_t bestLength = kMinMatchLength - 1;
  while (candidate != kNone && depth-- > 0) {
    size_t distance = pos - candidate;
    if (distance > kMaxDistance) break;
    if (data_[candidate + bestLength] == data_[pos + bestLength]) {
      uint32_t length = MatchLength(candidate, pos, limit);
      if (length > bestLength) {
        bestLength = length;
        best = Match{length, static_cast<uint32_t>(distance)};
        if (length >= niceLength || length == limit) break;
      }
    }
    candidate = previous_[candidate & (kWindowSlots - 1)];
  }
  return best;
}
