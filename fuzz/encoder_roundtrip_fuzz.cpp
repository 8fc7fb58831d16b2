// Any bytes, encoded at every level, give a block that keeps every rule of
// produced blocks and that the stub's decoder turns back into the same bytes.
#include <cstring>
#include <string>
#include <vector>

#include "archive/block/block_decoder.h"
#include "block_rules.h"
#include "fuzz/fuzz_target.h"
#include "tools/encoder/block_encoder.h"

namespace {

// Large enough for several 8 KiB windows and maximum-length matches, small
// enough that the optimal parse keeps the fuzzer fast.
constexpr size_t kMaxInput = 64 * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  for (int level = kFastestLevel; level <= kBestLevel; ++level) {
    std::vector<uint8_t> block = EncodeBlock(data, size, level);
    std::vector<uint8_t> understood;
    const std::string broken = block_rules::Check(block, &understood);
    if (!broken.empty()) std::fprintf(stderr, "level %d: %s\n", level, broken.c_str());
    FUZZ_CHECK(broken.empty());

    uint8_t* decoded = nullptr;
    uint32_t decodedSize = 0;
    FUZZ_CHECK(DecodeBlock(block.data(), static_cast<uint32_t>(block.size()), &decoded, &decodedSize,
                           nullptr, 0) == DecodeOk);
    FUZZ_CHECK(decodedSize == size);
    FUZZ_CHECK(size == 0 || std::memcmp(decoded, data, size) == 0);
    FUZZ_CHECK(FreeBlock(decoded) == DecodeOk);
  }
  return 0;
}
