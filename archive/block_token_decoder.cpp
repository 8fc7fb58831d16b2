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
// already there, and once `next` reaches the end all bits below are zero.
// The token loop keeps it in locals; only the rare slow path gets a copy.
struct BitBuffer {
  const uint8_t* next;
  uint64_t bits;
  unsigned count;
};

#define KAITO_ALWAYS_INLINE inline __attribute__((always_inline))
#define KAITO_LIKELY(x) __builtin_expect(!!(x), 1)

KAITO_ALWAYS_INLINE uint64_t LoadBigEndian64(const uint8_t* p) {
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

// Counts 56..63 bits with one load; needs 8 readable bytes at `next`.  Whole
// bytes are counted; a byte that fits only in part stays below the counted
// bits and is counted by the next refill.
KAITO_ALWAYS_INLINE void RefillFast(BitBuffer& b) {
  b.bits |= LoadBigEndian64(b.next) >> b.count;
  b.next += (63 - b.count) >> 3;
  b.count |= 56;
}

// Counts 56..63 bits, or every bit left near the stream's end.
void Refill(BitBuffer& b, const uint8_t* end) {
  if (end - b.next >= 8) {
    RefillFast(b);
    return;
  }
  while (b.count <= 55 && b.next != end) {
    b.bits |= uint64_t{*b.next++} << (56 - b.count);
    b.count += 8;
  }
}

KAITO_ALWAYS_INLINE void Consume(BitBuffer& b, unsigned n) {
  b.bits <<= n;
  b.count -= n;
}

// The class k of the number at the top of the buffer: one more than its
// leading one-bits (at most 64).
KAITO_ALWAYS_INLINE unsigned LeadingClass(uint64_t bits) {
  return static_cast<unsigned>(__builtin_clzll(~bits | 1)) + 1;
}

// A number of class k is k - 1 one-bits, a zero-bit and k value bits; it
// stands for 2^k - 2 plus the value.  False where the stream is corrupt: a
// prefix of 31 one-bits or more, or the stream ending inside the number.
// Numbers of 2^31 or more (class 31) are left to the caller to refuse.
__attribute__((noinline)) bool TakeNumberSlow(BitBuffer& b, const uint8_t* end, uint32_t* number) {
  Refill(b, end);
  const unsigned k = LeadingClass(b.bits);
  if (k > static_cast<unsigned>(kMaxCodeClass)) return false;
  if (k > b.count) return false;  // the prefix's zero-bit lies past the end
  Consume(b, k);
  Refill(b, end);
  if (k > b.count) return false;
  *number = (1u << k) - 2 + static_cast<uint32_t>(b.bits >> (64 - k));
  Consume(b, k);
  return true;
}

// The same when the whole number is counted already (here k <= 31, since
// count <= 63); otherwise the slow path, on a copy so that the caller's
// buffer can stay in registers.
KAITO_ALWAYS_INLINE bool TakeNumber(BitBuffer& b, const uint8_t* end, uint32_t* number) {
  const unsigned k = LeadingClass(b.bits);
  if (KAITO_LIKELY(2 * k <= b.count)) {
    Consume(b, k);
    *number = (1u << k) - 2 + static_cast<uint32_t>(b.bits >> (64 - k));
    Consume(b, k);
    return true;
  }
  BitBuffer copy = b;
  const bool ok = TakeNumberSlow(copy, end, number);
  b = copy;
  return ok;
}

KAITO_ALWAYS_INLINE void Copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t chunk;
  std::memcpy(&chunk, src, sizeof chunk);
  std::memcpy(dst, &chunk, sizeof chunk);
}

// Copies `length` bytes from `distance` back, with the result of a forwards
// copy one byte at a time.  `room` (>= length) is the output left from dst.
KAITO_ALWAYS_INLINE void CopyMatch(uint8_t* dst, uint32_t distance, uint32_t length, uint32_t room) {
  const uint8_t* src = dst - distance;
  if (KAITO_LIKELY(distance >= 8 && room - length >= 16)) {
    // Each chunk reads only bytes before the chunk it writes; the copy may
    // write up to 15 bytes past the match, which later tokens overwrite.
    uint8_t* const stop = dst + length;
    Copy8(dst, src);
    Copy8(dst + 8, src + 8);
    dst += 16;
    src += 16;
    while (dst < stop) {
      Copy8(dst, src);
      dst += 8;
      src += 8;
    }
  } else {
    for (uint32_t i = 0; i < length; ++i) dst[i] = src[i];
  }
}

}  // namespace

bool DecodeTokens(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literalTable,
                  uint8_t* out, uint32_t decodedSize, const ProgressSink& sink) {
  BitBuffer b = {stream, 0, 0};
  uint32_t produced = 0;
  // The next report is due once the output reaches this position.
  uint64_t reportAt = kNotifyInterval;
  while (produced < decodedSize) {
    // Tokens up to the next report or the end, whichever comes first.
    const uint32_t stop = reportAt < decodedSize ? static_cast<uint32_t>(reportAt) : decodedSize;
    while (produced < stop) {
      if (KAITO_LIKELY(streamEnd - b.next >= 8))
        RefillFast(b);
      else
        Refill(b, streamEnd);
      uint32_t v;
      if (!TakeNumber(b, streamEnd, &v)) return false;
      if (v < kFirstMatchCode) {
        out[produced++] = literalTable[v];
        continue;
      }
      uint32_t w;
      if (!TakeNumber(b, streamEnd, &w)) return false;
      const uint32_t room = decodedSize - produced;
      // Numbers of 2^31 or more are refused first, so the length cannot wrap.
      if (((v | w) >> 31) != 0) return false;
      const uint32_t distance = v - kFirstMatchCode;
      const uint32_t length = w + kMinMatchLength;
      if (distance - 1 >= produced || length > room) return false;
      CopyMatch(out + produced, distance, length, room);
      produced += length;
    }
    if (produced >= reportAt) {
      sink.report(sink.context, produced);
      reportAt = uint64_t{produced} + kNotifyInterval;
    }
  }
  return true;
}
