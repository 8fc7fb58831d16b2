#include "tools/encoder/match_finder.h"

MatchFinder::MatchFinder(const uint8_t* data, size_t size)
    : data_(data), size_(size), head_(size_t{1} << kHashBits, kNone), previous_(kWindowSlots, kNone),
      short_(size_t{1} << kShortHashBits, kNone) {}
