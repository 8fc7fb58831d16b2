// Codes the parsers' tokens straight into the block's bit stream: a literal as
// its byte's literal number, a match as 256 + distance followed by length - 3.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "archive/block/block_format.h"
#include "tools/encoder/bit_writer.h"

class TokenWriter {
 public:
  using Progress = std::function<void(size_t bytesDone)>;

  TokenWriter(std::vector<uint8_t>* out, const std::array<uint8_t, 256>& rankOfByte, const Progress& progress)
      : bits_(out), rankOfByte_(rankOfByte), progress_(progress) {}

  void Literal(uint8_t byte) { bits_.WriteCode(rankOfByte_[byte]); }
  void Match(uint32_t length, uint32_t distance) {
    bits_.WriteCode(kFirstMatchCode + distance);
    bits_.WriteCode(length - kMinMatchLength);
  }
  // Tells the caller how far the tokens written so far reach into the input.
  void Reached(size_t bytesDone) {
    if (progress_) progress_(bytesDone);
  }
  void Finish() { bits_.Finish(); }

 private:
  BitWriter bits_;
  const std::array<uint8_t, 256>& rankOfByte_;
  const Progress& progress_;
};
