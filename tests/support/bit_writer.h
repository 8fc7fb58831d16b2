// Test-only writer of compressed blocks, kept independent of the producer's
// encoder so that a mistake shared by encoder and decoder cannot hide.
//
//   BitWriter bits;
//   bits.Literal(0); bits.Match(2, 4);          // tokens
//   bits.Ones(32);                              // or any raw bits
//   std::vector<uint8_t> block = MakeBlock(6, bits.Finish(), IdentityLiteralTable());
//
// Bits go most significant first; Finish() fills the last byte with zero bits.
// The number code: a number v of class k is k - 1 one-bits, a zero-bit, then
// v - (2^k - 2) in k bits.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace testsupport {

class BitWriter {
 public:
  // The low `count` bits of `value`, most significant first (count 0..64).
  void Bits(uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) Bit(static_cast<int>((value >> i) & 1));
  }

  void Bit(int bit) {
    if (bitCount_ % 8 == 0) bytes_.push_back(0);
    if (bit) bytes_.back() = static_cast<uint8_t>(bytes_.back() | (0x80 >> (bitCount_ % 8)));
    ++bitCount_;
  }

  void Ones(int count) {
    for (int i = 0; i < count; ++i) Bit(1);
  }

  // One number in the number code; any v below 2^63 - 2 can be written.
  void Code(uint64_t v) {
    int k = 1;
    while (v + 2 >= (uint64_t{1} << (k + 1))) ++k;
    Ones(k - 1);
    Bit(0);
    Bits(v - ((uint64_t{1} << k) - 2), k);
  }

  void Literal(uint32_t number) { Code(number); }

  // A match token: first number 256 + distance, second number length - 3.
  void Match(uint64_t distance, uint64_t length) {
    Code(256 + distance);
    Code(length - 3);
  }

  size_t BitCount() const { return bitCount_; }

  std::vector<uint8_t> Finish() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t bitCount_ = 0;
};

using LiteralTable = std::array<uint8_t, 256>;

// literalTable[r] == r: literal numbers are the bytes themselves.
inline LiteralTable IdentityLiteralTable() {
  LiteralTable table;
  for (int r = 0; r < 256; ++r) table[r] = static_cast<uint8_t>(r);
  return table;
}

inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A whole block: magic "QZC" 0x1A, decodedSize, bitStreamSize (the stream's
// length unless given), the literal table, then the stream.
inline std::vector<uint8_t> MakeBlock(uint32_t decodedSize, const std::vector<uint8_t>& stream,
                                      const LiteralTable& table = IdentityLiteralTable()) {
  std::vector<uint8_t> block(268 + stream.size());
  const uint8_t magic[4] = {'Q', 'Z', 'C', 0x1A};
  std::memcpy(block.data(), magic, 4);
  PutLE32(block.data() + 4, decodedSize);
  PutLE32(block.data() + 8, static_cast<uint32_t>(stream.size()));
  std::memcpy(block.data() + 12, table.data(), 256);
  if (!stream.empty()) std::memcpy(block.data() + 268, stream.data(), stream.size());
  return block;
}

}  // namespace testsupport
