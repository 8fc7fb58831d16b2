// The fast token loop: a bit buffer of the machine's word (64 bits on x86-64,
// 32 on i686) filled by one unaligned load, the number code read with a
// leading-ones count, matches copied eight bytes at a time; on 64-bit words
// most tokens run in a wide loop with the bounds tests hoisted out of the
// token.  It keeps the reference loop's every verdict: a token is corrupt
// exactly when the bit-at-a-time reader would refuse it.
//
// Included by each build of the loop (block_token_decoder.cpp for any CPU,
// block_token_decoder_lzcnt.cpp with LZCNT and BMI2); everything here has
// internal linkage, so every build keeps its own copy.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/block/block_format.h"
#include "archive/block/block_tokens.h"

#if defined(__LZCNT__)
#include <immintrin.h>
#endif

namespace {

#define KAITO_ALWAYS_INLINE inline __attribute__((always_inline))
#define KAITO_LIKELY(x) __builtin_expect(!!(x), 1)

#if UINTPTR_MAX > 0xFFFFFFFFu
using BitWord = uint64_t;
#else
using BitWord = uint32_t;
#endif
constexpr unsigned kWordBits = sizeof(BitWord) * 8;
constexpr unsigned kWordBytes = sizeof(BitWord);

// The bit buffer.  `bits` holds the stream's next bits, most significant
// first.  The top `count` of them (0 .. kWordBits - 1) are counted: they come
// from the bytes before `next`.  Every bit below the counted ones is either
// the stream's following bit or zero, so loading a byte again only ORs in
// bits already there, and once `next` reaches the end all bits below are
// zero.  The token loop keeps it in locals; only the slow path gets a copy.
struct BitBuffer {
  const uint8_t* next;
  BitWord bits;
  unsigned count;
};

KAITO_ALWAYS_INLINE BitWord LoadBigEndianWord(const uint8_t* p) {
  BitWord v;
  std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return v;
#else
  return kWordBits == 64 ? static_cast<BitWord>(__builtin_bswap64(v))
                         : static_cast<BitWord>(__builtin_bswap32(static_cast<uint32_t>(v)));
#endif
}

KAITO_ALWAYS_INLINE unsigned LeadingZeros(BitWord x) {  // x != 0
  return kWordBits == 64 ? static_cast<unsigned>(__builtin_clzll(x))
                         : static_cast<unsigned>(__builtin_clz(static_cast<uint32_t>(x)));
}

// Counts kWordBits - 8 or more bits with one load; needs a word of readable
// bytes at `next`.  Whole bytes are counted; a byte that fits only in part
// stays below the counted bits and is counted by the next refill.
KAITO_ALWAYS_INLINE void RefillFast(BitBuffer& b) {
  b.bits |= LoadBigEndianWord(b.next) >> b.count;
  b.next += (kWordBits - 1 - b.count) >> 3;
  b.count |= kWordBits - 8;
}

// The same, or a byte at a time near the stream's end, where it counts every
// bit left.
void Refill(BitBuffer& b, const uint8_t* end) {
  if (end - b.next >= static_cast<int>(kWordBytes)) {
    RefillFast(b);
    return;
  }
  while (b.count <= kWordBits - 9 && b.next != end) {
    b.bits |= static_cast<BitWord>(*b.next++) << (kWordBits - 8 - b.count);
    b.count += 8;
  }
}

KAITO_ALWAYS_INLINE void Consume(BitBuffer& b, unsigned n) {
  b.bits <<= n;
  b.count -= n;
}

// One more than the leading one-bits of the buffer (at most kWordBits): the
// class of the number starting there when its prefix lies within the word.
KAITO_ALWAYS_INLINE unsigned LeadingClass(BitWord bits) { return LeadingZeros(~bits | 1) + 1; }

// A number of class k is k - 1 one-bits, a zero-bit and k value bits; it
// stands for 2^k - 2 plus the value.  Read here piece by piece, however long.
// False where the stream is corrupt: a prefix of 31 one-bits or more, or the
// stream ending inside the number.  Numbers of 2^31 or more (class 31) are
// left to the caller to refuse.
__attribute__((noinline)) bool TakeNumberSlow(BitBuffer& b, const uint8_t* end, uint32_t* number) {
  unsigned ones = 0;
  for (;;) {
    Refill(b, end);
    if (b.count == 0) return false;  // the stream ends inside the prefix
    unsigned run = LeadingClass(b.bits) - 1;
    const bool prefixEnds = run < b.count;
    if (!prefixEnds) run = b.count;
    ones += run;
    if (ones >= static_cast<unsigned>(kMaxCodeClass)) return false;
    Consume(b, run);
    if (prefixEnds) break;
  }
  Consume(b, 1);  // the prefix's zero-bit
  const unsigned k = ones + 1;
  uint32_t value = 0;
  for (unsigned wanted = k; wanted > 0;) {
    Refill(b, end);
    if (b.count == 0) return false;  // the stream ends inside the value
    const unsigned piece = wanted < b.count ? wanted : b.count;
    value = (value << piece) | static_cast<uint32_t>(b.bits >> (kWordBits - piece));
    Consume(b, piece);
    wanted -= piece;
  }
  *number = (1u << k) - 2 + value;
  return true;
}

// The same, fast, when the whole number is counted already (here 2k is at
// most count, so k <= 31); otherwise the slow path, on a copy so that the
// caller's buffer can stay in registers.
KAITO_ALWAYS_INLINE bool TakeNumber(BitBuffer& b, const uint8_t* end, uint32_t* number) {
  const unsigned k = LeadingClass(b.bits);
  if (KAITO_LIKELY(2 * k <= b.count)) {
    Consume(b, k);
    *number = (1u << k) - 2 + static_cast<uint32_t>(b.bits >> (kWordBits - k));
    Consume(b, k);
    return true;
  }
  BitBuffer copy = b;
  const bool ok = TakeNumberSlow(copy, end, number);
  b = copy;
  return ok;
}

KAITO_ALWAYS_INLINE void RefillForNumber(BitBuffer& b, const uint8_t* end) {
  if (KAITO_LIKELY(end - b.next >= static_cast<int>(kWordBytes)))
    RefillFast(b);
  else
    Refill(b, end);
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
  if (KAITO_LIKELY(distance >= 8 && room - length >= 32)) {
    // Each chunk reads only bytes before the chunk it writes; the copy may
    // write up to 31 bytes past the match, which later tokens overwrite.
    uint8_t* const stop = dst + length;
    Copy8(dst, src);
    Copy8(dst + 8, src + 8);
    Copy8(dst + 16, src + 16);
    Copy8(dst + 24, src + 24);
    dst += 32;
    src += 32;
    while (dst < stop) {
      Copy8(dst, src);
      dst += 8;
      src += 8;
    }
  } else if (room - length >= 32) {
    // A period shorter than a chunk: the first 8 bytes one at a time, then
    // chunks from a whole number of periods back, at least 8 bytes.
    static const uint8_t kWidened[8] = {0, 8, 8, 9, 8, 10, 12, 14};
    for (int i = 0; i < 8; ++i) dst[i] = src[i];
    uint8_t* const stop = dst + length;
    dst += 8;
    src = dst - kWidened[distance];
    while (dst < stop) {
      Copy8(dst, src);
      dst += 8;
      src += 8;
    }
  } else {
    for (uint32_t i = 0; i < length; ++i) dst[i] = src[i];
  }
}

// Numbers read from a 64-bit buffer of the inverted stream (ones where the
// stream has zeros): the wide loop below, and the benchmark's token walk,
// which reads numbers the same way on either word size.
// The class of the number whose inverted bits start at the top of `inverted`
// (64 or more when no zero-bit ends its prefix within the word).
KAITO_ALWAYS_INLINE unsigned WideClass(uint64_t inverted) {
#if defined(__LZCNT__)
  return static_cast<unsigned>(_lzcnt_u64(inverted)) + 1;
#else
  return static_cast<unsigned>(__builtin_clzll(inverted | 1)) + 1;
#endif
}

// The number of class k (1 to 31) at the top of `inverted`.
KAITO_ALWAYS_INLINE uint32_t WideNumber(uint64_t inverted, unsigned k) {
  return (1u << k) - 2 + static_cast<uint32_t>((~inverted << k) >> (64 - k));
}

#if UINTPTR_MAX > 0xFFFFFFFFu
// The wide loop, for 64-bit words: most tokens of a block run here, with the
// stream's tests hoisted out of the token.  Its buffer holds the stream's bits
// inverted (ones where the stream has zeros), so that a number's prefix of
// one-bits is a run of leading zeros, counted in one instruction where the
// CPU has LZCNT; bits below the counted ones are zero or already the inverted
// stream, so a refill ORs the inverted word in.

// After a refill at least 56 bits are counted: a match's two numbers of class
// kWideClass or less fit, and so do a literal and the class of the next number.
constexpr unsigned kWideClass = 14;
// The largest class a literal number (below 256) can have.
constexpr unsigned kLiteralClass = 8;
// A turn starts only with more than this much output left: room for two
// literals, and for match copies that write up to 32 bytes past their end.
constexpr uint32_t kWideRoom = 64;

KAITO_ALWAYS_INLINE uint64_t CountedMask(unsigned count) { return ~(~uint64_t{0} >> count); }

// Runs tokens while the stream has a word of bytes past the buffer and the
// output more than kWideRoom bytes left, stopping after the token that
// reaches `stop`, or before a token with a number of a class above
// kWideClass, which the careful loop then takes.  False where the stream is
// corrupt.
KAITO_ALWAYS_INLINE bool RunWideTokens(BitBuffer& b, const uint8_t* streamEnd, const uint8_t* literalTable,
                                       uint8_t* out, uint32_t decodedSize, uint32_t stop, uint32_t& produced) {
  if (streamEnd - b.next < static_cast<int>(kWordBytes)) return true;
  const uint32_t roomyEnd = decodedSize > kWideRoom ? decodedSize - kWideRoom : 0;
  const uint32_t wideStop = stop < roomyEnd ? stop : roomyEnd;
  const uint8_t* const lastLoad = streamEnd - kWordBytes;
  uint64_t inverted = ~b.bits & CountedMask(b.count);
  unsigned count = b.count;
  const uint8_t* next = b.next;
  bool ok = true;
  while (produced < wideStop && next <= lastLoad) {
    inverted |= ~LoadBigEndianWord(next) >> count;
    next += (63 - count) >> 3;
    count |= 56;
    const unsigned k = WideClass(inverted);
    if (k > kWideClass) break;
    const uint32_t v = WideNumber(inverted, k);
    if (v < kFirstMatchCode) {
      inverted <<= 2 * k;
      count -= 2 * k;
      out[produced++] = literalTable[v];
      // A second literal from the same refill.
      const unsigned k2 = WideClass(inverted);
      if (produced >= wideStop || k2 > kLiteralClass) continue;
      const uint32_t v2 = WideNumber(inverted, k2);
      if (v2 >= kFirstMatchCode) continue;
      inverted <<= 2 * k2;
      count -= 2 * k2;
      out[produced++] = literalTable[v2];
      continue;
    }
    // A match: both numbers are read before any is taken, so a long one can
    // leave the whole token to the careful loop.
    const uint64_t rest = inverted << 2 * k;
    const unsigned k2 = WideClass(rest);
    if (k2 > kWideClass) break;
    const uint32_t distance = v - kFirstMatchCode;
    const uint32_t length = WideNumber(rest, k2) + kMinMatchLength;
    const uint32_t room = decodedSize - produced;
    if (distance - 1 >= produced || length > room) {
      ok = false;
      break;
    }
    inverted = rest << 2 * k2;
    count -= 2 * (k + k2);
    CopyMatch(out + produced, distance, length, room);
    produced += length;
  }
  b = BitBuffer{next, ~inverted & CountedMask(count), count};
  return ok;
}
#endif

// The whole token loop: the wide loop where it can run, one careful token at
// a time where it cannot (near the stream's and the output's ends, and for
// numbers of very long classes).
KAITO_ALWAYS_INLINE bool DecodeTokensLoop(const uint8_t* stream, const uint8_t* streamEnd,
                                          const uint8_t* literalTable, uint8_t* out, uint32_t decodedSize,
                                          const ProgressSink& sink) {
  BitBuffer b = {stream, 0, 0};
  uint32_t produced = 0;
  // The next report is due once the output reaches this position.
  uint64_t reportAt = kNotifyInterval;
  while (produced < decodedSize) {
    // Tokens up to the next report or the end, whichever comes first.
    const uint32_t stop = reportAt < decodedSize ? static_cast<uint32_t>(reportAt) : decodedSize;
    while (produced < stop) {
#if UINTPTR_MAX > 0xFFFFFFFFu
      if (!RunWideTokens(b, streamEnd, literalTable, out, decodedSize, stop, produced)) return false;
      if (produced >= stop) break;
#endif
      RefillForNumber(b, streamEnd);
      uint32_t v;
      if (!TakeNumber(b, streamEnd, &v)) return false;
      if (v < kFirstMatchCode) {
        out[produced++] = literalTable[v];
        continue;
      }
      // A 64-bit buffer holds both numbers of most matches; a 32-bit one is
      // topped up in between.
      if (kWordBits < 64) RefillForNumber(b, streamEnd);
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

}  // namespace
