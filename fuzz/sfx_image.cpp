#include "fuzz/sfx_image.h"

#include <algorithm>

#include "archive/archive_format.h"
#include "fake_stub.h"

std::vector<uint8_t> FuzzStub() {
  std::vector<uint8_t> stub = fake_stub::Make();
  StoreU32(stub.data() + fake_stub::kLocatorFileOffset, static_cast<uint32_t>(stub.size()));
  return stub;
}

bool SfxImageFromInput(const uint8_t* data, size_t size, SfxImage* image) {
  if (size == 0) return false;
  image->flags = data[0];
  image->bytes = FuzzStub();
  image->locator = static_cast<uint32_t>(image->bytes.size());
  image->bytes.insert(image->bytes.end(), data + 1, data + size);
  if ((image->flags & kOwnTrailerFlag) == 0) {
    uint8_t trailer[kTrailerSize];
    StoreU32(trailer, image->locator);
    image->bytes.insert(image->bytes.end(), trailer, trailer + kTrailerSize);
  }
  return true;
}

std::vector<uint8_t> InputFromSfxImage(const std::vector<uint8_t>& image, uint8_t flags) {
  const size_t begin = FuzzStub().size();
  const size_t end = image.size() - ((flags & kOwnTrailerFlag) ? 0 : kTrailerSize);
  std::vector<uint8_t> input(1 + end - begin);
  input[0] = flags;
  std::copy(image.begin() + static_cast<std::ptrdiff_t>(begin), image.begin() + static_cast<std::ptrdiff_t>(end),
            input.begin() + 1);
  return input;
}
