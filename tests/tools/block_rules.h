// A test-side reader of produced blocks, written apart from the decoder, that
// checks every rule a produced block keeps: magic, sizes, a literal table that
// is a permutation ranked by falling byte frequency, distances 1..8191 that
// never reach before the start, lengths 3..512, tokens ending exactly at the
// decoded size, and a zero-filled, fully used last byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace block_rules {

class Bits {
 public:
  Bits(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Take(uint32_t* bit) {
    if (index_ >= size_ * 8) return false;
    *bit = (data_[index_ / 8] >> (7 - index_ % 8)) & 1;
    ++index_;
    return true;
  }
  bool Number(uint32_t* v) {
    int k = 0;
    uint32_t bit = 1;
    while (bit == 1) {
      if (!Take(&bit) || ++k > 30) return false;
    }
    uint32_t value = 0;
    for (int i = 0; i < k; ++i) {
      if (!Take(&bit)) return false;
      value = value * 2 + bit;
    }
    *v = ((1u << k) - 2) + value;
    return true;
  }
  size_t index() const { return index_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t index_ = 0;
};

inline uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }

// Empty when every rule holds; otherwise the first broken rule.  On success
// *decoded holds the block's bytes as this reader understands them.
inline std::string Check(const std::vector<uint8_t>& block, std::vector<uint8_t>* decoded) {
  if (block.size() < 268) return "shorter than the header";
  if (std::memcmp(block.data(), "QZC\x1A", 4) != 0) return "bad magic";
  uint32_t decodedSize = U32(&block[4]);
  uint32_t streamSize = U32(&block[8]);
  if (uint64_t{streamSize} + 268 != block.size()) return "block size is not 268 + bitStreamSize";
  const uint8_t* table = &block[12];
  bool seen[256] = {};
  for (int r = 0; r < 256; ++r) {
    if (seen[table[r]]) return "literal table repeats a byte";
    seen[table[r]] = true;
  }
  decoded->clear();
  Bits bits(block.data() + 268, streamSize);
  while (decoded->size() < decodedSize) {
    uint32_t v;
    if (!bits.Number(&v)) return "stream ends early";
    if (v < 256) {
      decoded->push_back(table[v]);
      continue;
    }
    uint32_t distance = v - 256, w;
    if (!bits.Number(&w)) return "stream ends inside a match";
    uint32_t length = w + 3;
    if (distance < 1 || distance > 8191) return "distance outside 1..8191";
    if (distance > decoded->size()) return "distance reaches before the start";
    if (length > 512) return "length over 512";
    if (length > decodedSize - decoded->size()) return "match runs past the decoded size";
    for (uint32_t i = 0; i < length; ++i) decoded->push_back((*decoded)[decoded->size() - distance]);
  }
  size_t used = bits.index();
  if ((used + 7) / 8 != streamSize) return "stream has unused bytes at its end";
  for (size_t i = used; i < size_t{streamSize} * 8; ++i) {
    uint32_t bit = 0;
    bits.Take(&bit);
    if (bit != 0) return "fill bits of the last byte are not zero";
  }
  uint64_t counts[256] = {};
  for (uint8_t b : *decoded) ++counts[b];
  for (int r = 0; r + 1 < 256; ++r)
    if (counts[table[r]] < counts[table[r + 1]]) return "literal table not ranked by falling frequency";
  return std::string();
}

}  // namespace block_rules
