// A slow, plain reference for the encoder's optimal parse: the fewest bits
// that any token sequence (distances back to the data's first byte, any
// length of 3 or more) needs for some data, given the block's literal table.
// Every distance is tried at every position, so it costs about size^2 / 2
// byte comparisons: small inputs only.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace exhaustive {

// The cost in bits of the format's number code: class k costs 2k bits and
// holds 2^k - 2 .. 2^(k+1) - 3.  Written here apart from the encoder's tables.
inline uint32_t NumberBits(uint64_t v) {
  uint32_t k = 1;
  while (v + 2 >= (uint64_t{1} << (k + 1))) ++k;
  return 2 * k;
}

// `literalTable` is the block's table (literal number r stands for byte
// literalTable[r]).  A literal costs the bits of its number; a match of
// length n at distance d costs the bits of 256 + d and of n - 3.  Among the
// distances that reach a length, the nearest is the cheapest (the cost never
// falls with the distance; the test checks that), so relaxing each length at
// the nearest distance that reaches it prices every (distance, length) pair.
inline uint64_t OptimalBits(const uint8_t* data, size_t size, const uint8_t* literalTable) {
  std::array<uint32_t, 256> literalBits{};
  for (uint32_t r = 0; r < 256; ++r) literalBits[literalTable[r]] = NumberBits(r);

  std::vector<uint64_t> price(size + 1, std::numeric_limits<uint64_t>::max());
  price[0] = 0;
  for (size_t pos = 0; pos < size; ++pos) {
    uint64_t base = price[pos];
    price[pos + 1] = std::min(price[pos + 1], base + literalBits[data[pos]]);
    size_t limit = size - pos;
    size_t reached = 2;
    for (size_t d = 1; d <= pos && reached < limit; ++d) {
      // Only a match longer than the nearer ones adds anything.
      if (data[pos + reached - d] != data[pos + reached]) continue;
      size_t length = 0;
      while (length < limit && data[pos + length - d] == data[pos + length]) ++length;
      for (size_t n = reached + 1; n <= length; ++n)
        price[pos + n] = std::min(price[pos + n], base + NumberBits(256 + d) + NumberBits(n - 3));
      reached = std::max(reached, length);
    }
  }
  return price[size];
}

}  // namespace exhaustive
