// Random bit streams inside a valid block header (magic, matching sizes, a
// full literal table) must decode exactly as the reference decoder says.  The
// header is built here, so every input reaches the token loop.
//
// Input: byte 0 flags (bit 0: decodedSize is what the stream's valid tokens
// produce, so most inputs decode completely; bit 1: a permuted literal table
// instead of the identity), bytes 1-2 decodedSize (u16) when bit 0 is clear,
// byte 3 the permutation's seed, the rest the bit stream.
#include <vector>

#include "archive/archive_format.h"
#include "fuzz/decoder_oracle.h"
#include "fuzz/fuzz_target.h"
#include "tests/support/number_code_reader.h"
#include "tests/support/valid_stream.h"

namespace {

constexpr size_t kControlBytes = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kControlBytes || size - kControlBytes > kFuzzMaxDecodedSize) return 0;
  const uint8_t flags = data[0];
  const uint8_t* stream = data + kControlBytes;
  const uint32_t streamSize = static_cast<uint32_t>(size - kControlBytes);
  const bool exactSize = (flags & 1) != 0;
  const uint32_t decodedSize =
      exactSize ? static_cast<uint32_t>(testsupport::DecodableSize(stream, streamSize, kFuzzMaxDecodedSize))
                : LoadU16(data + 1);
  const testsupport::LiteralTable table =
      (flags & 2) != 0 ? testsupport::SeededLiteralTable(data[3]) : testsupport::IdentityLiteralTable();

  const std::vector<uint8_t> block =
      testsupport::MakeBlock(decodedSize, std::vector<uint8_t>(stream, stream + streamSize), table);
  CheckDecodeBlock(block.data(), static_cast<uint32_t>(block.size()));
  return 0;
}
