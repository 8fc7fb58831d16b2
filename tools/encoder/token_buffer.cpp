#include "tools/encoder/token_buffer.h"

#include "archive/block/block_format.h"
#include "tools/encoder/bit_writer.h"
#include "tools/encoder/code_costs.h"

namespace {

// Seven bits per byte, low groups first; the top bit says that more follow.
void PutNumber(std::vector<uint8_t>* out, uint32_t v) {
  while (v >= 0x80) {
    out->push_back(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  out->push_back(static_cast<uint8_t>(v));
}

uint32_t TakeNumber(const uint8_t** p) {
  uint32_t v = 0;
  for (int shift = 0;; shift += 7) {
    uint8_t byte = *(*p)++;
    v |= uint32_t{byte & 0x7Fu} << shift;
    if (byte < 0x80) return v;
  }
}

}  // namespace

void TokenBuffer::Match(uint32_t length, uint32_t distance) {
  PutNumber(&matches_, static_cast<uint32_t>(literals_.size()) - literalsSinceMatch_);
  PutNumber(&matches_, length - kMinMatchLength);
  PutNumber(&matches_, distance);
  literalsSinceMatch_ = static_cast<uint32_t>(literals_.size());
  matchBits_ += CodeCosts::Match(length, distance);
}

uint64_t TokenBuffer::StreamBits(const std::array<uint8_t, 256>& rankOfByte) const {
  uint64_t bits = matchBits_;
  for (int b = 0; b < 256; ++b) bits += literalCounts_[b] * NumberBits(rankOfByte[b]);
  return bits;
}

void TokenBuffer::WriteStream(const std::array<uint8_t, 256>& rankOfByte, std::vector<uint8_t>* out) const {
  BitWriter bits(out);
  const uint8_t* literal = literals_.data();
  const uint8_t* match = matches_.data();
  const uint8_t* const matchesEnd = match + matches_.size();
  while (match != matchesEnd) {
    for (uint32_t n = TakeNumber(&match); n > 0; --n) bits.WriteCode(rankOfByte[*literal++]);
    uint32_t lengthCode = TakeNumber(&match);
    bits.WriteCode(kFirstMatchCode + TakeNumber(&match));
    bits.WriteCode(lengthCode);
  }
  for (const uint8_t* end = literals_.data() + literals_.size(); literal != end; ++literal)
    bits.WriteCode(rankOfByte[*literal]);
  bits.Finish();
}
