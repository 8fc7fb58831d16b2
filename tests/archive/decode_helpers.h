// Small helpers shared by the block decoder tests: run DecodeBlock on a block
// (optionally placed flush against a guard page) and collect what it gave back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/block/block_decoder.h"
#include "bit_writer.h"
#include "guarded_buffer.h"

struct Decoded {
  DecodeResult result;
  std::vector<uint8_t> bytes;  // the output on success
  bool outputsUntouched;       // on failure: both outputs kept their values
};

// Pointer and size values the decoder must leave alone when it refuses a block.
inline uint8_t* SentinelOutput() { return reinterpret_cast<uint8_t*>(uintptr_t{0x5A5A5A50}); }
constexpr uint32_t kSentinelSize = 0xA5A5A5A5u;

inline Decoded DecodeAt(const uint8_t* block, uint32_t blockSize, NotifyWindow window = nullptr,
                        uint32_t message = 0) {
  uint8_t* out = SentinelOutput();
  uint32_t size = kSentinelSize;
  Decoded d{DecodeBlock(block, blockSize, &out, &size, window, message), {}, false};
  if (d.result == DecodeOk) {
    d.bytes.assign(out, out + size);
    FreeBlock(out);
  } else {
    d.outputsUntouched = out == SentinelOutput() && size == kSentinelSize;
  }
  return d;
}

// Decodes a copy of `block` whose last byte touches a guard page.
inline Decoded DecodeGuarded(const std::vector<uint8_t>& block, NotifyWindow window = nullptr,
                             uint32_t message = 0) {
  testsupport::GuardedBuffer guarded(block);
  return DecodeAt(guarded.data(), static_cast<uint32_t>(guarded.size()), window, message);
}

inline std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
