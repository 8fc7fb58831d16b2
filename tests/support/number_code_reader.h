// Test-side reader of a block's bit stream, kept apart from the decoder so
// that a mistake shared with the product's readers cannot hide: bits most
// significant first, counted by absolute position, numbers of the number code
// in 64-bit arithmetic.  The fuzz targets' reference decoder, the producer
// tests' block rules and the decodable-size helper all read through it.
//
//   testsupport::NumberCodeReader bits(stream, size);
//   uint64_t v;
//   while (bits.Number(&v)) ...            // false: the stream ends inside it
#pragma once

#include <cstddef>
#include <cstdint>

namespace testsupport {

class NumberCodeReader {
 public:
  // Classes beyond this hold numbers that no 32-bit size or distance can use;
  // refusing them keeps the 64-bit arithmetic exact.
  static constexpr int kLargestClass = 40;

  NumberCodeReader(const uint8_t* data, size_t size) : data_(data), totalBits_(uint64_t{size} * 8) {}

  // The next bit; false when the stream has none left.
  bool Bit(uint64_t* bit) {
    if (position_ >= totalBits_) return false;
    *bit = (data_[position_ / 8] >> (7 - position_ % 8)) & 1u;
    ++position_;
    return true;
  }

  // A number of class k: k - 1 one-bits, a zero-bit, then k bits holding
  // number - (2^k - 2).  False when the stream ends inside it or its class
  // passes kLargestClass.
  bool Number(uint64_t* number) {
    int k = 0;
    uint64_t bit = 1;
    while (bit == 1) {
      if (!Bit(&bit)) return false;
      if (++k > kLargestClass) return false;
    }
    uint64_t offset = 0;
    for (int i = 0; i < k; ++i) {
      if (!Bit(&bit)) return false;
      offset = offset * 2 + bit;
    }
    *number = (uint64_t{1} << k) - 2 + offset;
    return true;
  }

  // Bits taken so far.
  uint64_t position() const { return position_; }
  uint64_t totalBits() const { return totalBits_; }

 private:
  const uint8_t* data_;
  uint64_t totalBits_;
  uint64_t position_ = 0;
};

// One token as the number code gives it: a literal (first number below 256,
// length 1) or a match (distance = first - 256, length = second + 3).
struct StreamToken {
  uint64_t first;
  uint64_t distance;  // 0 for a literal
  uint64_t length;
  bool IsLiteral() const { return first < 256; }
};

// Reads the next token; false when the stream ends inside it.
inline bool ReadToken(NumberCodeReader& bits, StreamToken* token) {
  if (!bits.Number(&token->first)) return false;
  if (token->IsLiteral()) {
    token->distance = 0;
    token->length = 1;
    return true;
  }
  uint64_t second;
  if (!bits.Number(&second)) return false;
  token->distance = token->first - 256;
  token->length = second + 3;
  return true;
}

// Whether a match can copy from the `produced` bytes before it (distance 0
// would copy a byte not yet written).
inline bool MatchReachesOutput(const StreamToken& token, uint64_t produced) {
  return token.distance >= 1 && token.distance <= produced;
}

// How many bytes the stream's leading run of whole, valid tokens produces,
// stopping before the token that would pass `limit`: the decodedSize with
// which the stream decodes completely.
inline uint64_t DecodableSize(const uint8_t* stream, size_t size, uint64_t limit) {
  NumberCodeReader bits(stream, size);
  uint64_t produced = 0;
  StreamToken token;
  while (ReadToken(bits, &token)) {
    if (token.length > limit - produced) break;
    if (!token.IsLiteral() && !MatchReachesOutput(token, produced)) break;
    produced += token.length;
  }
  return produced;
}

}  // namespace testsupport
