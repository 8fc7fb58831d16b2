// One token of a block's bit stream, as the optimal parser hands it to the
// block writer: a literal byte, or a match of `length` bytes `distance` bytes back.
#pragma once

#include <cstdint>

struct Token {
  uint32_t length;  // 0: a literal; 3 or more: a match
  uint32_t value;   // the literal byte, or the match distance (1 or more)

  static Token Literal(uint8_t byte) { return Token{0, byte}; }
  static Token Match(uint32_t length, uint32_t distance) { return Token{length, distance}; }
  bool IsMatch() const { return length != 0; }
};
