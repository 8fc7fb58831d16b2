// The self-extracting file a container fuzz input stands for: a small PE stub
// whose "VAL" 133 resource holds its own length L, the input's archive bytes
// behind it, and normally the trailer L, so every input passes the trailer
// check and reaches the archive header.
//
// Input: byte 0 flags (bit 0: no trailer is added, the archive bytes end in
// their own; the other bits are the target's), then the archive bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr uint8_t kOwnTrailerFlag = 1;

struct SfxImage {
  std::vector<uint8_t> bytes;
  uint32_t locator = 0;  // L, the stub's length
  uint8_t flags = 0;
};

// False when the input is empty.
bool SfxImageFromInput(const uint8_t* data, size_t size, SfxImage* image);

// The inverse, for seed files: the input that stands for a whole image made
// with the same stub (its archive bytes, without the trailer).
std::vector<uint8_t> InputFromSfxImage(const std::vector<uint8_t>& image, uint8_t flags);

// The stub every image starts with.
std::vector<uint8_t> FuzzStub();
