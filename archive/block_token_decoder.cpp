// The fast token loop: a 64-bit bit buffer filled by one unaligned load per
// token, the number code read with a leading-ones count, matches copied eight
// bytes at a time.  It keeps the reference loop's every verdict: a token is
// corrupt exactly when the bit-at-a-time reader would refuse it.
#include <cstring>

#include "archive/block_format.h"
#include "archive/block_tokens.h"

namespace {

// The bit buffer.  `bits` holds the stream's next bits, most significant
// first.  The top `count` of them (0..63) are counted: they come from the
// bytes before `next`.  Every bit below the counted ones is either the
// stream's following bit or zero, so loading a byte again only ORs in bits
// already there, and once `next` reaches `end` all bits below are zero.
struct BitBuffer {
  const uint8_t* next;
  const uint8_t* end;
  uint64_t bits;
  unsigned count;
};

inline uint64_t LoadBigEndian64(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_bswap64(v);
#else
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
#endif
}

// Counts 56..63 bits, or every bit that is left near the stream's end.
inline void Refill(BitBuffer& b) {
  if (b.end - b.next >= 8) {
    // One load; whole bytes are counted, a byte that fits only in part stays
    // below the counted bits and is counted by the next refill.
    b.bits |= LoadBigEndian64(b.next) >> b.count;
    b.next += (63 - b.count) >> 3;
    b.count |= 56;
  } else {
    while (b.count <= 55 && b.next != b.end) {
      b.bits |= uint64_t{*b.next++} << (56 - b.count);
      b.count += 8;
    }
  }
}

inline void Consume(BitBuffer& b, unsigned n) {
  b.bits <<= n;
  b.count -= n;
}

inline unsigned LeadingOnes(uint64_t bits) { return static_cast<unsigned>(__builtin_clzll(~bits | 1)); }

// A number of class k is k - 1 one-bits, a zero-bit and k value bits; it
// stands for 2^k - 2 plus the value.  False where the stream is corrupt: a
// prefix of 31 one-bits or more, or the stream ending inside the number.
// Numbers of 2^31 or more (class 31) are left to the caller to refuse.
__attribute__((noinline)) bool TakeNumberSlow(BitBuffer& b, uint32_t* number) {
  Refill(b);
  const unsigned ones = LeadingOnes(b.bits);
  if (ones >= static_cast<unsigned>(kMaxCodeClass)) return false;
  const unsigned k = ones + 1;
  if (k > b.count) return false;  // the prefix's zero-bit lies past the end
  Consume(b, k);
  Refill(b);
  if (k > b.count) return false;
  *number = (1u << k) - 2 + static_cast<uint32_t>(b.bits >> (64 - k));
  Consume(b, k);
  return true;
}

inline bool TakeNumber(BitBuffer& b, uint32_t* number) {
  const unsigned k = LeadingOnes(b.bits) + 1;
  if (2 * k > b.count) return TakeNumberSlow(b, number);
  // Here k <= 31, since count <= 63.
  *number = (1u << k) - 2 + static_cast<uint32_t>((b.bits << k) >> (64 - k));
  Consume(b, 2 * k);
  return true;
}

inline void Copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t chunk;
  std::memcpy(&chunk, src, sizeof chunk);
  std::memcpy(dst, &chunk, sizeof chunk);
}

// Copies `length` bytes from `distance` back, with the result of a forwards
// copy one byte at a time.  `room` (>= length) is the output left from dst.
inline void CopyMatch(uint8_t* dst, uint32_t distance, uint32_t length, uint32_t room) {
  const uint8_t* src = dst - distance;
  if (distance >= 8 && room - length >= 8) {
    // Each chunk reads only bytes before the chunk it writes; the last one
    // may write up to 7 bytes past the match, which later tokens overwrite.
    uint8_t* const stop = dst + length;
    do {
      Copy8(dst, src);
      dst += 8;
      src += 8;
    } while (dst < stop);
  } else if (distance == 1) {
    std::memset(dst, *src, length);
  } else {
    for (uint32_t i = 0; i < length; ++i) dst[i] = src[i];
  }
}

}  // namespace

bool DecodeTokens(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                  uint8_t* out, uint32_t decodedSize, const ProgressSink& sink) {
  BitBuffer b = {stream, streamEnd, 0, 0};
  uint32_t produced = 0;
  uint32_t counter = 0;
  while (produced < decodedSize) {
    Refill(b);
    uint32_t v;
    if (!TakeNumber(b, &v)) return false;
    uint32_t length;
    if (v < kFirstMatchCode) {
      out[produced] = literalTable[v];
      length = 1;
    } else {
      uint32_t w;
      if (!TakeNumber(b, &w)) return false;
      const uint32_t room = decodedSize - produced;
      // Numbers of 2^31 or more are refused first, so the length cannot wrap.
      if (((v | w) >> 31) != 0) return false;
      const uint32_t distance = v - kFirstMatchCode;
      length = w + kMinMatchLength;
      if (distance - 1 >= produced || length > room) return false;
      CopyMatch(out + produced, distance, length, room);
    }
    produced += length;
    counter += length;
    if (counter >= kNotifyInterval) {
      counter = 0;
      sink.report(sink.context, produced);
    }
  }
  return true;
}
