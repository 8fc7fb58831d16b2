// Writes the block's bit stream: most significant bit first, numbers in the
// format's code (class k: k-1 one-bits, a zero-bit, then k value bits).  The
// last byte is filled with zero bits by Finish(), which also trims the output
// to the bytes written; until then the output vector may hold spare room.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class BitWriter {
 public:
  // Appends to what `out` holds already.
  explicit BitWriter(std::vector<uint8_t>* out) : out_(out), used_(out->size()) {}

  void WriteCode(uint32_t v) {
    // Class k holds 2^k - 2 .. 2^(k+1) - 3, so v + 2 has its top bit at k.
    int k = 31 - __builtin_clz(v + 2);
    uint32_t base = (uint32_t{1} << k) - 2;
    // The prefix: k-1 ones then a zero, i.e. 2^k - 2 in k bits.  Up to
    // class 16 prefix and value go in one write of at most 32 bits.
    if (k <= 16) {
      WriteBits((uint64_t{base} << k) | (v - base), 2 * k);
    } else {
      WriteBits(base, k);
      WriteBits(v - base, k);
    }
  }

  // count <= 32.
  void WriteBits(uint64_t value, int count) {
    pending_ = (pending_ << count) | value;
    pendingBits_ += count;
    if (pendingBits_ >= 32) {
      pendingBits_ -= 32;
      PutWord(static_cast<uint32_t>(pending_ >> pendingBits_));
      pending_ &= (uint64_t{1} << pendingBits_) - 1;
    }
  }

  void Finish() {
    out_->resize(used_);
    while (pendingBits_ >= 8) {
      pendingBits_ -= 8;
      out_->push_back(static_cast<uint8_t>(pending_ >> pendingBits_));
    }
    if (pendingBits_ > 0) out_->push_back(static_cast<uint8_t>(pending_ << (8 - pendingBits_)));
    used_ = out_->size();
    pending_ = 0;
    pendingBits_ = 0;
  }

 private:
  // Four bytes, most significant first, into room grown by doubling.
  void PutWord(uint32_t word) {
    if (out_->size() - used_ < 4) out_->resize(std::max<size_t>(64, 2 * out_->size()));
    uint8_t* p = out_->data() + used_;
    p[0] = static_cast<uint8_t>(word >> 24);
    p[1] = static_cast<uint8_t>(word >> 16);
    p[2] = static_cast<uint8_t>(word >> 8);
    p[3] = static_cast<uint8_t>(word);
    used_ += 4;
  }

  std::vector<uint8_t>* out_;
  size_t used_;          // bytes of *out_ written
  uint64_t pending_ = 0;  // the low pendingBits_ bits are not yet written
  int pendingBits_ = 0;   // 0..31 between calls
};
