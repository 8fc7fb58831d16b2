// DecodeBlock: the header checks in their order, the output allocation and
// the notifications around the fast token loop (block_token_decoder.cpp).
#include "archive/block/block_decoder.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/block/block_platform.h"
#include "archive/block/block_tokens.h"

namespace {

bool HasMagic(const uint8_t* block) { return std::memcmp(block, kBlockMagic, sizeof kBlockMagic) == 0; }

struct WindowTarget {
  NotifyWindow window;
  uint32_t message;
};

void NotifyTargetWindow(void* context, uint32_t) {
  const WindowTarget* target = static_cast<const WindowTarget*>(context);
  if (target->window != nullptr) BlockNotify(target->window, target->message);
}

}  // namespace

int32_t DecodeBlockWith(TokenDecoder decodeTokens, const uint8_t* block, uint32_t blockSize,
                        uint8_t** output, uint32_t* outputSize, void* window, uint32_t message) {
  if (block == nullptr || output == nullptr || outputSize == nullptr || blockSize == 0)
    return DecodeBadArgument;
  if (blockSize < sizeof kBlockMagic || !HasMagic(block)) return DecodeBadMagic;
  if (blockSize < kBlockHeaderSize) return DecodeBadArgument;
  const uint32_t decodedSize = LoadU32(block + 4);
  const uint32_t bitStreamSize = LoadU32(block + 8);
  if (uint64_t{bitStreamSize} + kBlockHeaderSize != blockSize) return DecodeBadArgument;

  // An empty block decodes to an empty buffer; the heap still hands one out so
  // the caller's ownership rules stay the same for every success.
  uint8_t* out = BlockAllocate(decodedSize);
  if (out == nullptr) return DecodeOutOfMemory;

  WindowTarget target = {window, message};
  const ProgressSink sink = {NotifyTargetWindow, &target};
  if (!decodeTokens(block + kBlockHeaderSize, block + blockSize, block + 12, out, decodedSize, sink)) {
    BlockRelease(out);
    return DecodeBadArgument;
  }
  if (window != nullptr) BlockNotify(window, message);
  *output = out;
  *outputSize = decodedSize;
  return DecodeOk;
}

DecodeResult DecodeBlock(const uint8_t* block, uint32_t blockSize, uint8_t** output,
                         uint32_t* outputSize, NotifyWindow window, uint32_t message) {
  return static_cast<DecodeResult>(
      DecodeBlockWith(DecodeTokens, block, blockSize, output, outputSize, window, message));
}

DecodeResult FreeBlock(uint8_t* buffer) {
  if (buffer == nullptr) return DecodeOk;
  return BlockRelease(buffer) ? DecodeOk : DecodeBadArgument;
}
