#include "fuzz/decoder_oracle.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/block/block_decoder.h"
#include "archive/block/block_format.h"
#include "archive/block/block_platform.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/reference_decoder.h"

namespace {

constexpr uint32_t kProgressMessage = 0x8001;
int g_progressWindow;  // its address stands for a window
uint64_t g_notifications;

void CountNotification(NotifyWindow window, uint32_t message) {
  FUZZ_CHECK(window == &g_progressWindow);
  FUZZ_CHECK(message == kProgressMessage);
  ++g_notifications;
}

// The answer the header alone settles, or -1 when the stream decides.
int HeaderVerdict(const uint8_t* block, uint32_t blockSize) {
  if (blockSize == 0) return DecodeBadArgument;
  if (blockSize < sizeof kBlockMagic || std::memcmp(block, kBlockMagic, sizeof kBlockMagic) != 0)
    return DecodeBadMagic;
  if (blockSize < kBlockHeaderSize) return DecodeBadArgument;
  if (uint64_t{LoadU32(block + 8)} + kBlockHeaderSize != blockSize) return DecodeBadArgument;
  return -1;
}

}  // namespace

void CheckDecodeBlock(const uint8_t* block, uint32_t blockSize) {
  SetBlockNotifyHook(CountNotification);
  g_notifications = 0;
  uint8_t untouched = 0;
  uint8_t* output = &untouched;
  uint32_t outputSize = 0xA5A5A5A5u;
  const DecodeResult result =
      DecodeBlock(block, blockSize, &output, &outputSize, &g_progressWindow, kProgressMessage);

  const int headerVerdict = HeaderVerdict(block, blockSize);
  if (headerVerdict >= 0) {
    FUZZ_CHECK(result == headerVerdict);
    FUZZ_CHECK(g_notifications == 0);
  } else {
    const uint32_t decodedSize = LoadU32(block + 4);
    FUZZ_CHECK(decodedSize <= kFuzzMaxDecodedSize);
    const ReferenceResult expected = ReferenceDecode(
        block + kBlockHeaderSize, blockSize - kBlockHeaderSize, block + 12, decodedSize);
    if (expected.ok) {
      FUZZ_CHECK(result == DecodeOk);
      FUZZ_CHECK(outputSize == decodedSize);
      FUZZ_CHECK(decodedSize == 0 || std::memcmp(output, expected.output.data(), decodedSize) == 0);
      FUZZ_CHECK(g_notifications == expected.notifications);
    } else {
      FUZZ_CHECK(result != DecodeOk);
      FUZZ_CHECK(result != DecodeOutOfMemory);
    }
  }
  if (result != DecodeOk) {
    FUZZ_CHECK(output == &untouched);
    FUZZ_CHECK(outputSize == 0xA5A5A5A5u);
    return;
  }
  FUZZ_CHECK(FreeBlock(output) == DecodeOk);
}
