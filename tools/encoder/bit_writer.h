// Writes the block's bit stream: most significant bit first, numbers in the
// format's code (class k: k-1 one-bits, a zero-bit, then k value bits).  The
// last byte is filled with zero bits by Finish().
#pragma once

#include <cstdint>
#include <vector>

#include "archive/block_format.h"

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}

  void WriteCode(uint32_t v) {
    int k = CodeClass(v);
    uint32_t base = (uint32_t{1} << k) - 2;
    // The prefix: k-1 ones then a zero, i.e. 2^k - 2 in k bits.
    WriteBits((uint64_t{base} << k) | (v - base), 2 * k);
  }

  // count <= 32.
  void WriteBits(uint64_t value, int count) {
    pending_ = (pending_ << count) | value;
    pendingBits_ += count;
    while (pendingBits_ >= 8) {
      pendingBits_ -= 8;
      out_->push_back(static_cast<uint8_t>(pending_ >> pendingBits_));
    }
    pending_ &= (uint64_t{1} << pendingBits_) - 1;
  }

  void Finish() {
    if (pendingBits_ > 0) out_->push_back(static_cast<uint8_t>(pending_ << (8 - pendingBits_)));
    pending_ = 0;
    pendingBits_ = 0;
  }

 private:
  std::vector<uint8_t>* out_;
  uint64_t pending_ = 0;  // the low pendingBits_ bits are not yet written
  int pendingBits_ = 0;   // 0..7 between calls
};
