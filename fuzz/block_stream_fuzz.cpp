// Random bit streams inside a valid block header (magic, matching sizes, a
// full literal table) must decode exactly as the reference decoder says.  The
// header is built here, so every input reaches the token loop.
//
// Input: byte 0 flags (bit 0: decodedSize is what the stream's valid tokens
// produce, so most inputs decode completely; bit 1: a permuted literal table
// instead of the identity), bytes 1-2 decodedSize (u16) when bit 0 is clear,
// byte 3 the permutation's seed, the rest the bit stream.
#include <cstring>
#include <numeric>
#include <vector>

#include "archive/archive_format.h"
#include "archive/block/block_format.h"
#include "fuzz/decoder_oracle.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/reference_decoder.h"

namespace {

constexpr size_t kControlBytes = 4;

void FillLiteralTable(uint8_t* table, bool permuted, uint8_t seed) {
  std::iota(table, table + kLiteralCount, 0);
  if (!permuted) return;
  uint32_t state = 0x9E3779B9u ^ seed;
  for (uint32_t i = kLiteralCount - 1; i > 0; --i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    uint32_t j = state % (i + 1);
    uint8_t swap = table[i];
    table[i] = table[j];
    table[j] = swap;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kControlBytes || size - kControlBytes > kFuzzMaxDecodedSize) return 0;
  const uint8_t flags = data[0];
  const uint8_t* stream = data + kControlBytes;
  const uint32_t streamSize = static_cast<uint32_t>(size - kControlBytes);
  const bool exactSize = (flags & 1) != 0;
  const uint32_t decodedSize =
      exactSize ? static_cast<uint32_t>(ReferenceDecodableSize(stream, streamSize, kFuzzMaxDecodedSize))
                : LoadU16(data + 1);

  std::vector<uint8_t> block(kBlockHeaderSize + streamSize);
  std::memcpy(block.data(), kBlockMagic, sizeof kBlockMagic);
  StoreU32(block.data() + 4, decodedSize);
  StoreU32(block.data() + 8, streamSize);
  FillLiteralTable(block.data() + 12, (flags & 2) != 0, data[3]);
  if (streamSize > 0) std::memcpy(block.data() + kBlockHeaderSize, stream, streamSize);
  CheckDecodeBlock(block.data(), static_cast<uint32_t>(block.size()));
  return 0;
}
