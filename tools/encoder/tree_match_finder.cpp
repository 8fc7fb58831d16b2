#include "tools/encoder/tree_match_finder.h"

#include <algorithm>
#include <cstring>

#include "tools/encoder/byte_compare.h"
#include "tools/encoder/hash_bits.h"

namespace {

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint32_t Hash3(const uint8_t* p, int bits) {
  uint32_t v = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  return (v * 2654435761u) >> (32 - bits);
}

uint32_t Hash4(const uint8_t* p, int bits) { return (Load32(p) * 2654435761u) >> (32 - bits); }

}  // namespace

TreeMatchFinder::TreeMatchFinder(const uint8_t* data, size_t size, uint32_t windowLog, uint32_t longestMatch,
                                 uint32_t depth, uint32_t keyLength)
    : data_(data), size_(size), depth_(depth), keyLength_(std::min(keyLength, longestMatch)),
      longestMatch_(longestMatch),
      maxDistance_(static_cast<uint32_t>((uint64_t{1} << windowLog) - 1)),
      hashBits_(HashBitsFor(std::min<size_t>(size, maxDistance_), kMostHashBits)),
      shortHashBits_(HashBitsFor(size, kMostShortHashBits)), root_(size_t{1} << hashBits_, kNone),
      links_(2 * std::min<size_t>(size_t{maxDistance_} + 1, size), kNone),
      nearest3_(size_t{1} << shortHashBits_, kNone) {}

size_t TreeMatchFinder::Insert(size_t pos, Match* out) {
  if (size_ - pos < kMinMatchLength) return 0;  // no match starts here, and none is searched later
  // The bytes a match may cover.
  const uint32_t remaining = static_cast<uint32_t>(std::min<size_t>(longestMatch_, size_ - pos));
  uint32_t limit = static_cast<uint32_t>(std::min<size_t>(keyLength_, remaining));
  const uint8_t* current = data_ + pos;
  if (limit > 4) {
    // The next position's tree roots are fetched while this one is walked.
    __builtin_prefetch(&root_[Hash4(current + 1, hashBits_)]);
    __builtin_prefetch(&nearest3_[Hash3(current + 1, shortHashBits_)]);
  }
  size_t count = 0;
  // A 3-byte match is worth most at the nearest distance, which the newest
  // position with the same 3-byte hash gives when its bytes agree.
  uint32_t h3 = Hash3(current, shortHashBits_);
  uint32_t near3 = nearest3_[h3];
  nearest3_[h3] = static_cast<uint32_t>(pos);
  if (out && near3 != kNone && pos - near3 <= maxDistance_ && std::memcmp(data_ + near3, current, 3) == 0)
    out[count++] = Match{kMinMatchLength, static_cast<uint32_t>(pos - near3)};
  if (size_ - pos < 4) return count;
  uint32_t h = Hash4(current, hashBits_);
  uint32_t candidate = root_[h];
  root_[h] = static_cast<uint32_t>(pos);

  // The new node takes the old tree apart: nodes below it in byte order hang
  // on its smaller side, nodes above on its larger side.  `smallerLink` is the
  // link where the next smaller node goes; it and the bytes every node on that
  // side shares with `current` (`smallerCommon`) only grow as the walk goes on.
  uint32_t slot = static_cast<uint32_t>(pos) & maxDistance_;
  uint32_t* links = links_.data();
  uint32_t* smallerLink = &links[2 * size_t{slot}];
  uint32_t* largerLink = &links[2 * size_t{slot} + 1];
  uint32_t smallerCommon = 0, largerCommon = 0;
  uint32_t best = kMinMatchLength;
  for (uint32_t visits = depth_;; --visits) {
    // Nodes are older than their parents: once one is out of the window, so
    // is everything below it, and its slot may already be reused.
    if (candidate == kNone || pos - candidate > maxDistance_ || visits == 0) {
      *smallerLink = kNone;
      *largerLink = kNone;
      break;
    }
    uint32_t* pair = &links[2 * size_t{candidate & maxDistance_}];
    const uint8_t* earlier = data_ + candidate;
    uint32_t known = std::min(smallerCommon, largerCommon);
    uint32_t length = known + CommonLength(earlier + known, current + known, limit - known);
    if (length > best) {
      best = length;
      if (out) out[count++] = Match{length, static_cast<uint32_t>(pos - candidate)};
      if (length == limit) {
        // Equal as far as keys go: the new node replaces it, taking its
        // subtrees.  The match itself may go on well past the key.
        *smallerLink = pair[0];
        *largerLink = pair[1];
        if (out && limit < remaining)
          out[count - 1].length += CommonLength(earlier + limit, current + limit, remaining - limit);
        break;
      }
    }
    // A larger candidate goes with its larger subtree to the new node's larger
    // side, and the walk goes on into its smaller subtree; a smaller one the
    // other way round.  Which way is close to a coin toss, so the choice is
    // made by selecting values rather than by a branch.
    bool larger = earlier[length] > current[length];
    *(larger ? largerLink : smallerLink) = candidate;
    uint32_t* next = larger ? pair : pair + 1;
    smallerLink = larger ? smallerLink : next;
    largerLink = larger ? next : largerLink;
    smallerCommon = larger ? smallerCommon : length;
    largerCommon = larger ? length : largerCommon;
    candidate = *next;
  }
  return count;
}
