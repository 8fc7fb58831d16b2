// The worked example of docs/format.md: the block our encoder writes for the
// 24 bytes "na-na-na-na-na-na-na-na!", built here from what the document
// says of it, so the decoder test and the encoder test both hold the
// document to the code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/bit_writer.h"

namespace testsupport {

inline const std::string kWorkedExampleText = "na-na-na-na-na-na-na-na!";

// a n - ! ranked by their counts, then every other byte value in rising order.
inline LiteralTable WorkedExampleTable() {
  const std::string ranked = "an-!";
  LiteralTable table{};
  size_t next = 0;
  for (char c : ranked) table[next++] = static_cast<uint8_t>(c);
  for (int b = 0; b < 256; ++b)
    if (ranked.find(static_cast<char>(b)) == std::string::npos) table[next++] = static_cast<uint8_t>(b);
  return table;
}

// Header, table, and the five stream bytes as the document shows them.
inline std::vector<uint8_t> WorkedExampleBlock() {
  return MakeBlock(24, {0x48, 0xFE, 0x05, 0xE3, 0x90}, WorkedExampleTable());
}

}  // namespace testsupport
