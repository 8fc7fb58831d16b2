#include "tools/encoder/tree_match_finder.h"

#include <algorithm>
#include <cstring>

#include "tools/encoder/byte_compare.h"

namespace {

uint32_t Hash3(const uint8_t* p, int bits) {
  uint32_t v = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  return (v * 2654435761u) >> (32 - bits);
}

}  // namespace

TreeMatchFinder::TreeMatchFinder(const uint8_t* data, size_t size, uint32_t depth)
    : data_(data), size_(size), depth_(depth), root_(size_t{1} << kHashBits, kNone),
      links_(2 * kWindowSlots, kNone) {}

size_t TreeMatchFinder::Insert(size_t pos, Match* out) {
  uint32_t limit = static_cast<uint32_t>(std::min<size_t>(kMaxMatchLength, size_ - pos));
  if (limit < kMinMatchLength) return 0;  // no match starts here, and none is searched later
  const uint8_t* current = data_ + pos;
  uint32_t h = Hash3(current, kHashBits);
  uint32_t candidate = root_[h];
  root_[h] = static_cast<uint32_t>(pos);

  // The new node takes the old tree apart: nodes below it in byte order hang
  // on its smaller side, nodes above on its larger side.  `smallerLink` is the
  // link where the next smaller node goes; it and the bytes every node on that
  // side shares with `current` (`smallerCommon`) only grow as the walk goes on.
  uint32_t slot = static_cast<uint32_t>(pos) & (kWindowSlots - 1);
  uint32_t* links = links_.data();
  uint32_t* smallerLink = &links[2 * slot];
  uint32_t* largerLink = &links[2 * slot + 1];
  uint32_t smallerCommon = 0, largerCommon = 0;
  uint32_t best = kMinMatchLength - 1;
  size_t count = 0;
  for (uint32_t visits = depth_;; --visits) {
    // Nodes are older than their parents: once one is out of the window, so
    // is everything below it, and its slot may already be reused.
    if (candidate == kNone || pos - candidate > kMaxDistance || visits == 0) {
      *smallerLink = kNone;
      *largerLink = kNone;
      break;
    }
    const uint8_t* earlier = data_ + candidate;
    uint32_t known = std::min(smallerCommon, largerCommon);
    uint32_t length = known + CommonLength(earlier + known, current + known, limit - known);
    uint32_t candidateSlot = candidate & (kWindowSlots - 1);
    if (length > best) {
      best = length;
      if (out) out[count++] = Match{length, static_cast<uint32_t>(pos - candidate)};
    }
    if (length == limit) {
      // Equal as far as keys go: the new node replaces it, taking its subtrees.
      *smallerLink = links[2 * candidateSlot];
      *largerLink = links[2 * candidateSlot + 1];
      break;
    }
    if (earlier[length] < current[length]) {
      *smallerLink = candidate;
      smallerLink = &links[2 * candidateSlot + 1];
      candidate = *smallerLink;
      smallerCommon = length;
    } else {
      *largerLink = candidate;
      largerLink = &links[2 * candidateSlot];
      candidate = *largerLink;
      largerCommon = length;
    }
  }
  return count;
}
