#include "archive/checksum.h"

#include <cstring>

namespace {

constexpr uint32_t kPrime1 = 0x9E3779B1u;
constexpr uint32_t kPrime2 = 0x85EBCA77u;
constexpr uint32_t kPrime3 = 0xC2B2AE3Du;
constexpr uint32_t kPrime4 = 0x27D4EB2Fu;
constexpr uint32_t kPrime5 = 0x165667B1u;
constexpr size_t kStripeSize = 16;  // four lanes of one 32-bit word each

// A little-endian word.  The stub's size-optimised build calls the shared
// LoadU32 out of line, four calls per stripe; one move (and on a big-endian
// host a byte swap) keeps the loop in registers.
inline uint32_t Word(const uint8_t* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap32(word);
#endif
  return word;
}

inline uint32_t RotateLeft(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

inline uint32_t Round(uint32_t lane, uint32_t word) {
  return RotateLeft(lane + word * kPrime2, 13) * kPrime1;
}

}  // namespace

uint32_t Checksum32(const uint8_t* data, size_t size) {
  const uint8_t* p = data;
  const uint8_t* end = data + size;
  uint32_t hash;
  if (size >= kStripeSize) {
    uint32_t lane1 = kPrime1 + kPrime2;
    uint32_t lane2 = kPrime2;
    uint32_t lane3 = 0;
    uint32_t lane4 = 0u - kPrime1;
    const uint8_t* lastStripe = end - kStripeSize;
    do {
      lane1 = Round(lane1, Word(p));
      lane2 = Round(lane2, Word(p + 4));
      lane3 = Round(lane3, Word(p + 8));
      lane4 = Round(lane4, Word(p + 12));
      p += kStripeSize;
    } while (p <= lastStripe);
    hash = RotateLeft(lane1, 1) + RotateLeft(lane2, 7) + RotateLeft(lane3, 12) + RotateLeft(lane4, 18);
  } else {
    hash = kPrime5;
  }
  hash += static_cast<uint32_t>(size);
  for (; end - p >= 4; p += 4) hash = RotateLeft(hash + Word(p) * kPrime3, 17) * kPrime4;
  for (; p < end; ++p) hash = RotateLeft(hash + *p * kPrime5, 11) * kPrime1;
  hash ^= hash >> 15;
  hash *= kPrime2;
  hash ^= hash >> 13;
  hash *= kPrime3;
  hash ^= hash >> 16;
  return hash;
}
