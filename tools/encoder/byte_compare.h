// Byte comparison shared by the match finders.
#pragma once

#include <cstdint>
#include <cstring>

// How many of the first `limit` bytes of a and b agree.
inline uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
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
