#include "tests/support/valid_stream.h"

#include <algorithm>
#include <cstdlib>

#include "archive/block/block_format.h"

namespace testsupport {

void ModelStream::Literal(uint32_t number) {
  bits_.Literal(number);
  decoded_.push_back(table_[number]);
}

void ModelStream::Match(uint32_t distance, uint32_t length) {
  // A generator bug would otherwise pass as a decoder bug.
  if (distance == 0 || distance > decoded_.size() || length < kMinMatchLength) std::abort();
  bits_.Match(distance, length);
  for (uint32_t i = 0; i < length; ++i) decoded_.push_back(decoded_[decoded_.size() - distance]);
}

std::vector<uint8_t> ModelStream::Block() const {
  return MakeBlock(static_cast<uint32_t>(decoded_.size()), Stream(), table_);
}

LiteralTable PermutedLiteralTable(std::mt19937& random) {
  LiteralTable table = IdentityLiteralTable();
  std::shuffle(table.begin(), table.end(), random);
  return table;
}

LiteralTable SeededLiteralTable(uint8_t seed) {
  LiteralTable table = IdentityLiteralTable();
  uint32_t state = 0x9E3779B9u ^ seed;  // xorshift32
  for (uint32_t i = 255; i > 0; --i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    std::swap(table[i], table[state % (i + 1)]);
  }
  return table;
}

ModelStream RandomValidStream(std::mt19937& random, uint32_t size) {
  auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  ModelStream stream(PermutedLiteralTable(random));
  while (stream.decoded().size() < size) {
    const uint32_t produced = static_cast<uint32_t>(stream.decoded().size());
    const uint32_t remaining = size - produced;
    const uint32_t kind = below(12);
    if (produced == 0 || remaining < 3 || kind < 3) {
      for (uint32_t n = 1 + below(kind == 0 ? 40 : 3); n > 0 && stream.decoded().size() < size; --n)
        stream.Literal(below(2) ? below(8) : below(256));
      continue;
    }
    uint32_t distance;
    uint32_t length;
    switch (kind) {
      case 3: distance = 1; length = 3 + below(2000); break;
      case 4: distance = 1 + below(std::min(produced, 7u)); length = 3 + below(300); break;
      case 5: distance = produced; length = std::max(produced, 3u); break;  // everything so far again
      case 6: distance = produced; length = 3 + below(40); break;   // back to byte 0
      case 7: distance = 1 + below(produced); length = 3 + below(70000); break;
      case 8: distance = 8 + below(9); length = 3 + below(30); break;  // just wide enough to copy by 8
      case 9: distance = 1 + below(produced); length = remaining; break;
      default: distance = 1 + below(std::min(produced, 64u)); length = 3 + below(14); break;
    }
    stream.Match(std::min(distance, produced), std::min(length, remaining));
  }
  return stream;
}

}  // namespace testsupport
