// Holds the tokens of one parse in a compact form until the block's literal
// table is known: literal bytes in one array, and per match the count of
// literals before it, its length and its distance as variable-length numbers.
// The table ranks bytes by their literal counts, which only the finished
// parse gives; then the tokens are written as the block's bit stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "tools/encoder/literal_ranking.h"

class TokenBuffer {
 public:
  using Progress = std::function<void(size_t bytesDone)>;

  explicit TokenBuffer(Progress progress) : progress_(std::move(progress)) {}

  void Literal(uint8_t value) {
    literals_.push_back(value);
    ++literalCounts_[value];
  }
  void Match(uint32_t length, uint32_t distance);
  // Tells the caller how far the tokens so far reach into the input.
  void Reached(size_t bytesDone) {
    if (progress_) progress_(bytesDone);
  }

  // How many literals of each byte value there are.
  const ByteCounts& literalCounts() const { return literalCounts_; }

  // The bit stream's length in bits with this literal table (rankOfByte[b]
  // is the literal number of byte b), without the last byte's fill.
  uint64_t StreamBits(const std::array<uint8_t, 256>& rankOfByte) const;

  // Appends the bit stream to `out`: a literal as its byte's literal number,
  // a match as 256 + distance followed by length - 3, then zero bits to the
  // end of the last byte.
  void WriteStream(const std::array<uint8_t, 256>& rankOfByte, std::vector<uint8_t>* out) const;

 private:
  std::vector<uint8_t> literals_;
  std::vector<uint8_t> matches_;  // per match: literals before it, length - 3, distance
  uint32_t literalsSinceMatch_ = 0;
  uint64_t matchBits_ = 0;
  ByteCounts literalCounts_{};
  Progress progress_;
};
