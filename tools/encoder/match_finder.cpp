#include "tools/encoder/match_finder.h"

#include "tools/encoder/hash_bits.h"

MatchFinder::MatchFinder(const uint8_t* data, size_t size)
    : data_(data), size_(size), hashBits_(HashBitsFor(size, kMostHashBits)),
      head_(size_t{1} << hashBits_, kNone), previous_(kWindowSlots, kNone), short_(size_t{1} << hashBits_, kNone) {}
