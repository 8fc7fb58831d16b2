// The floor under the decoder's speed: a walk over a block's token stream that
// reads every number with the decoder's own method (a 64-bit buffer of the
// inverted stream, one refill per number, the class from a leading-zeros
// count, LZCNT where the build has it), tells literals from matches and keeps
// the output position, but writes no byte and checks nothing.  Every token's
// numbers must be read one after another, since where a number starts depends
// on the class of the one before; so a decoder that reads them this way
// cannot be much faster than this walk, and the benchmark prints the two side
// by side.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/block/block_format.h"
#include "archive/block/block_token_loop.h"

namespace bench {

// A block's bit stream with two words of zero bytes behind it, so the walk
// can load a whole word at any byte it reaches without a bounds test (the
// last refills count zero bytes from behind the stream).
inline std::vector<uint8_t> PaddedStream(const std::vector<uint8_t>& block) {
  std::vector<uint8_t> stream(block.begin() + kBlockHeaderSize, block.end());
  stream.resize(stream.size() + 2 * sizeof(uint64_t), 0);
  return stream;
}

inline uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return __builtin_bswap64(v);
}

// Walks the tokens until `decodedSize` bytes are accounted for and returns
// the output position reached (decodedSize for a block the encoder made).
// The sum of the first numbers is returned too, so the compiler cannot drop
// the value bits the decoder would need.
inline uint32_t WalkTokens(const std::vector<uint8_t>& paddedStream, uint32_t decodedSize, uint32_t* numberSum) {
  const uint8_t* next = paddedStream.data();
  const uint8_t* const last = paddedStream.data() + paddedStream.size() - sizeof(uint64_t);
  uint64_t inverted = 0;  // ones where the stream has zeros
  unsigned count = 0;
  uint32_t position = 0;
  uint32_t sum = 0;
  auto refill = [&inverted, &count, &next] {
    inverted |= ~LoadBigEndian64(next) >> count;
    next += (63 - count) >> 3;
    count |= 56;
  };
  auto takeNumber = [&inverted, &count] {
    const unsigned k = WideClass(inverted);
    const uint32_t number = WideNumber(inverted, k);
    inverted <<= 2 * k;
    count -= 2 * k;
    return number;
  };
  while (position < decodedSize && next <= last) {
    refill();
    const uint32_t first = takeNumber();
    sum += first;
    if (first < kFirstMatchCode) {
      ++position;
      continue;
    }
    // A far match's two numbers need not fit in one refill together.
    refill();
    position += takeNumber() + kMinMatchLength;
  }
  *numberSum = sum;
  return position;
}

}  // namespace bench
