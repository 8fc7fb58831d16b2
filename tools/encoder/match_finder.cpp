#include "tools/encoder/match_finder.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// How many of the first `limit` bytes of a and b agree.
uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t n = 0;
  while (n + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) return n + static_cast<uint32_t>(__builtin_ctzll(x ^ y) / 8);  // little-endian
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

}  // namespace

MatchFinder::MatchFinder(const uint8_t* data, size_t size)
    : data_(data), size_(size), head_(size_t{1} << kHashBits, kNone), previous_(kWindowSlots, kNone),
      short_(size_t{1} << kShortHashBits, kNone) {}

uint32_t MatchFinder::Link(size_t pos, uint32_t* nearest3) {
  if (size_ - pos < 4) {
    if (nearest3) *nearest3 = kNone;
    return kNone;
  }
  uint32_t four = Load32(data_ + pos);
  uint32_t h3 = ((four & 0xFFFFFFu) * 2654435761u) >> (32 - kShortHashBits);
  if (nearest3) *nearest3 = short_[h3];
  short_[h3] = static_cast<uint32_t>(pos);
  uint32_t h = (four * 2654435761u) >> (32 - kHashBits);
  uint32_t first = head_[h];
  previous_[pos & (kWindowSlots - 1)] = first;
  head_[h] = static_cast<uint32_t>(pos);
  return first;
}

size_t MatchFinder::FindMatches(size_t pos, uint32_t depth, uint32_t niceLength, Match* out) {
  uint32_t nearest3;
  uint32_t candidate = Link(pos, &nearest3);
  if (nearest3 == kNone && candidate == kNone) return 0;
  uint32_t limit = static_cast<uint32_t>(std::min<size_t>(kMaxMatchLength, size_ - pos));
  const uint8_t* current = data_ + pos;
  size_t count = 0;
  // A 3-byte match from the short table, when it is one and is near enough.
  uint32_t best = kMinMatchLength;
  if (nearest3 != kNone && pos - nearest3 <= kMaxDistance &&
      (Load32(data_ + nearest3) & 0xFFFFFFu) == (Load32(current) & 0xFFFFFFu))
    out[count++] = Match{3, static_cast<uint32_t>(pos - nearest3)};
  // Chain candidates: one can beat `best` only if it agrees on the 4 bytes
  // that end at `best`.
  while (candidate != kNone && depth-- > 0) {
    size_t distance = pos - candidate;
    if (distance > kMaxDistance) break;
    const uint8_t* earlier = data_ + candidate;
    if (Load32(earlier + best - 3) == Load32(current + best - 3)) {
      uint32_t length = CommonLength(earlier, current, limit);
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
