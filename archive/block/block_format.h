// The compressed block: a 268-byte header (magic, sizes, literal table) and a
// bit stream of tokens in one variable-length number code.  Shared by the
// decoder, the encoder and the tests.
#pragma once

#include <cstdint>

constexpr uint32_t kBlockHeaderSize = 268;
constexpr uint8_t kBlockMagic[4] = {'Q', 'Z', 'C', 0x1A};
constexpr uint32_t kLiteralCount = 256;
// First numbers below 256 are literals; from 256 on they are match distances.
constexpr uint32_t kFirstMatchCode = 256;
constexpr uint32_t kMinMatchLength = 3;
// The largest class a 32-bit number can have (30 one-bits, then a zero); a
// longer prefix starts a number of 2^32 - 2 or more, which no block can use.
constexpr int kMaxCodeClass = 31;
// A notification goes to the progress window after this many output bytes.
constexpr uint32_t kNotifyInterval = 8192;

struct BlockHeader {
  uint8_t magic[4];
  uint32_t decodedSize;
  uint32_t bitStreamSize;
  uint8_t literalTable[kLiteralCount];
};
static_assert(sizeof(BlockHeader) == kBlockHeaderSize, "BlockHeader is 268 bytes on disk");

// The class k of a number v: class k holds 2^k - 2 .. 2^(k+1) - 3 and costs 2k bits.
inline int CodeClass(uint32_t v) {
  int k = 1;
  while (uint64_t{v} + 2 >= (uint64_t{1} << (k + 1))) ++k;
  return k;
}
inline int CodeBits(uint32_t v) { return 2 * CodeClass(v); }
