#include "archive/block/block_decoder_reference.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/block/block_platform.h"

namespace {

// The process-wide bit reader.  Bits are taken most significant first:
// `current` keeps its unread bits at the top and is shifted left by one for
// every bit taken; `bitsLeft` (0..8) counts them.  `next` is the next stream
// byte to load and `end` is one past the stream's last byte.  Reading beyond
// `end` never touches memory: it yields zero bits and sets `overrun`, which
// makes the block corrupt.
struct BitReader {
  const uint8_t* next;
  const uint8_t* end;
  uint8_t current;
  int bitsLeft;
  bool overrun;
  bool codeTooLong;
};

BitReader g_reader;

}  // namespace

void ResetBitReader(const uint8_t* stream, const uint8_t* streamEnd) {
  g_reader.next = stream;
  g_reader.end = streamEnd;
  g_reader.current = 0;
  g_reader.bitsLeft = 0;
  g_reader.overrun = false;
  g_reader.codeTooLong = false;
}

uint32_t ReadBits(int count) {
  uint32_t result = 0;
  for (int i = 0; i < count; ++i) {
    if (g_reader.bitsLeft == 0) {
      if (g_reader.next < g_reader.end) {
        g_reader.current = *g_reader.next++;
      } else {
        g_reader.current = 0;
        g_reader.overrun = true;
      }
      g_reader.bitsLeft = 8;
    }
    --g_reader.bitsLeft;
    uint32_t bit = g_reader.current >> 7;
    g_reader.current = static_cast<uint8_t>(g_reader.current << 1);
    result = (result << 1) | bit;
  }
  return result;
}

int32_t ReadCode() {
  uint32_t a = 0;
  int k = 0;
  uint32_t b;
  do {
    b = ReadBits(1);
    a = 2 * a + b;
    ++k;
    if (k > kMaxCodeClass) {
      // No 32-bit number has so long a prefix; stop before the value overflows.
      g_reader.codeTooLong = true;
      return -1;
    }
  } while (b != 0);
  return static_cast<int32_t>(a + ReadBits(k));
}

bool DecodeTokensReference(const uint8_t* stream, const uint8_t* streamEnd, const uint8_t* literals,
                           uint8_t* out, uint32_t decodedSize, const ProgressSink& sink) {
  ResetBitReader(stream, streamEnd);
  uint32_t produced = 0;
  uint32_t counter = 0;
  while (produced < decodedSize) {
    int32_t v = ReadCode();
    if (v < 0 || g_reader.overrun) return false;
    uint32_t length;
    if (v < static_cast<int32_t>(kFirstMatchCode)) {
      out[produced] = literals[v];
      length = 1;
    } else {
      uint32_t distance = static_cast<uint32_t>(v) - kFirstMatchCode;
      int32_t w = ReadCode();
      if (w < 0 || g_reader.overrun) return false;
      length = static_cast<uint32_t>(w) + kMinMatchLength;
      if (distance == 0 || distance > produced || length > decodedSize - produced) return false;
      // One byte at a time, forwards: an overlapping copy repeats its pattern.
      uint8_t* dst = out + produced;
      const uint8_t* src = dst - distance;
      for (uint32_t i = 0; i < length; ++i) dst[i] = src[i];
    }
    produced += length;
    counter += length;
    if (counter >= kNotifyInterval) {
      counter = 0;
      sink.report(sink.context, produced);
    }
  }
  return true;
}

DecodeResult DecodeBlockReference(const uint8_t* block, uint32_t blockSize, uint8_t** output,
                                  uint32_t* outputSize, NotifyWindow window, uint32_t message) {
  return static_cast<DecodeResult>(DecodeBlockWith(DecodeTokensReference, block, blockSize, output,
                                                   outputSize, window, message));
}
