// Valid block streams for tests and fuzz targets, written with the test-side
// BitWriter and decoded as they are written by a plain model of the format
// (literals through the table, matches copied a byte at a time), so every
// stream comes with the bytes it must decode to.
//
//   std::mt19937 random(1);
//   const testsupport::ModelStream s = testsupport::RandomValidStream(random, 5000);
//   Decoded d = DecodeGuarded(s.Block());         // d.bytes must equal s.decoded()
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "tests/support/bit_writer.h"

namespace testsupport {

// A stream under construction and what it decodes to.
class ModelStream {
 public:
  explicit ModelStream(const LiteralTable& table = IdentityLiteralTable()) : table_(table) {}

  void Literal(uint32_t number);
  // distance 1..decoded().size(), any length of 3 or more.
  void Match(uint32_t distance, uint32_t length);

  const std::vector<uint8_t>& decoded() const { return decoded_; }
  const LiteralTable& table() const { return table_; }
  std::vector<uint8_t> Stream() const { return bits_.Finish(); }
  // The whole block: header with decodedSize = decoded().size(), then Stream().
  std::vector<uint8_t> Block() const;

 private:
  LiteralTable table_;
  BitWriter bits_;
  std::vector<uint8_t> decoded_;
};

// A valid stream of exactly `size` decoded bytes through a permuted table,
// with tokens our encoder would never write: long distance-1 runs, periods of
// 2..7 bytes, matches back to the first byte (short, and copying everything
// so far again), literal bursts, and a last match that ends exactly at the
// output's end.
ModelStream RandomValidStream(std::mt19937& random, uint32_t size);

// A literal table that is a permutation drawn from `random`.
LiteralTable PermutedLiteralTable(std::mt19937& random);

// The permutation that the stream fuzz target and the tests replaying its
// saved inputs both derive from one seed byte.
LiteralTable SeededLiteralTable(uint8_t seed);

}  // namespace testsupport
