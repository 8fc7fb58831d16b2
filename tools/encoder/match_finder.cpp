#include "tools/encoder/match_finder.h"

#include <algorithm>

#include "tools/encoder/hash_bits.h"

MatchFinder::MatchFinder(const uint8_t* data, size_t size, uint32_t windowLog, uint32_t longestMatch)
    : data_(data), size_(size), maxDistance_(static_cast<uint32_t>((uint64_t{1} << windowLog) - 1)),
      longestMatch_(std::min(longestMatch, kLongestChainMatch)),
      hashBits_(HashBitsFor(size, kMostHashBits)), head_(size_t{1} << hashBits_, kNone),
      previous_(std::min<size_t>(size_t{maxDistance_} + 1, size), kNone), short_(size_t{1} << hashBits_, kNone) {}
