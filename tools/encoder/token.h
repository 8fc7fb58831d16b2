// One token of a block's bit stream, as the parsers hand it to the block
// writer: a literal byte, or a match of `length` bytes `distance` bytes back.
#pragma once

#include <cstdint>

struct Token {
  uint16_t length;  // 0: a literal; 3..512: a match
  uint16_t value;   // the literal byte, or the match distance 1..8191

  static Token Literal(uint8_t byte) { return Token{0, byte}; }
  static Token Match(uint32_t length, uint32_t distance) {
    return Token{static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
  }
  bool IsMatch() const { return length != 0; }
};
