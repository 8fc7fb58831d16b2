// Writes the block's bit stream: most significant bit first, numbers in the
// format's code (class k: k-1 one-bits, a zero-bit, then k value bits).  The
// last byte is filled with zero bits by Finish().
#pragma once

#include <cstdint>
#include <vector>

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}

  void WriteCode(uint32_t v) {
    // Class k holds 2^k - 2 .. 2^(k+1) - 3, so v + 2 has its top bit at k.
    int k = 31 - __builtin_clz(v + 2);
    uint32_t base = (uint32_t{1} << k) - 2;
    // The prefix: k-1 ones then a zero, i.e. 2^k - 2 in k bits.
    WriteBits((uint64_t{base} << k) | (v - base), 2 * k);
  }

  // count <= 32.
  void WriteBits(uint64_t value, int count) {
    pending_ = (pending_ << count) | value;
    pendingBits_ += count;
    if (pendingBits_ >= 32) {
      pendingBits_ -= 32;
      uint32_t word = static_cast<uint32_t>(pending_ >> pendingBits_);
      uint8_t bytes[4] = {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>(word >> 16),
                          static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
      out_->insert(out_->end(), bytes, bytes + 4);
      pending_ &= (uint64_t{1} << pendingBits_) - 1;
    }
  }

  void Finish() {
    while (pendingBits_ >= 8) {
      pendingBits_ -= 8;
      out_->push_back(static_cast<uint8_t>(pending_ >> pendingBits_));
    }
    if (pendingBits_ > 0) out_->push_back(static_cast<uint8_t>(pending_ << (8 - pendingBits_)));
    pending_ = 0;
    pendingBits_ = 0;
  }

 private:
  std::vector<uint8_t>* out_;
  uint64_t pending_ = 0;  // the low pendingBits_ bits are not yet written
  int pendingBits_ = 0;   // 0..31 between calls
};
