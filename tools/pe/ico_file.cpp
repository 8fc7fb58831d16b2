#include "tools/pe/ico_file.h"

#include <cstring>

#include "archive/archive_format.h"
#include "tools/report_failure.h"

namespace {

constexpr uint32_t kHeaderSize = 6;
constexpr uint32_t kFileEntrySize = 16;
constexpr uint32_t kGroupEntrySize = 14;
constexpr uint16_t kIconType = 1;
constexpr uint32_t kSmallestBitmapHeader = 40;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool IsPng(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= sizeof kPngSignature && std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) == 0;
}

// Some tools leave planes and bit count 0 in the file; the system picks the
// image for a display by them, so they are taken from the image itself.
void FillColourDepth(IconImage* image) {
  if (image->bitCount != 0) return;
  image->planes = 1;
  image->bitCount = IsPng(image->bytes) ? 32 : LoadU16(image->bytes.data() + 14);
}

}  // namespace

bool ParseIcoFile(const uint8_t* data, size_t size, std::vector<IconImage>* images, std::string* error) {
  images->clear();
  if (size > kMaxIconFileSize) return Fail(error, "larger than 1 MiB");
  if (size < kHeaderSize || LoadU16(data) != 0 || LoadU16(data + 2) != kIconType)
    return Fail(error, "not an .ico file (no icon header)");
  uint32_t count = LoadU16(data + 4);
  if (count == 0) return Fail(error, "the .ico file holds no image");
  if (size < kHeaderSize + uint64_t{count} * kFileEntrySize)
    return Fail(error, "damaged .ico file (the image list runs past the end)");
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + kHeaderSize + i * kFileEntrySize;
    uint32_t length = LoadU32(entry + 8);
    uint32_t offset = LoadU32(entry + 12);
    std::string which = "image " + std::to_string(i + 1);
    if (length == 0 || offset > size || length > size - offset)
      return Fail(error, "damaged .ico file (" + which + " lies outside the file)");
    IconImage image;
    image.width = entry[0];
    image.height = entry[1];
    image.colorCount = entry[2];
    image.planes = LoadU16(entry + 4);
    image.bitCount = LoadU16(entry + 6);
    image.bytes.assign(data + offset, data + offset + length);
    bool bitmap = length >= kSmallestBitmapHeader && LoadU32(image.bytes.data()) >= kSmallestBitmapHeader &&
                  LoadU32(image.bytes.data()) <= length;
    if (!IsPng(image.bytes) && !bitmap)
      return Fail(error, "damaged .ico file (" + which + " is neither a PNG nor a bitmap)");
    FillColourDepth(&image);
    images->push_back(std::move(image));
  }
  return true;
}

std::vector<uint8_t> BuildIconGroup(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids) {
  std::vector<uint8_t> group(kHeaderSize + images.size() * kGroupEntrySize, 0);
  StoreU16(&group[2], kIconType);
  StoreU16(&group[4], static_cast<uint16_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    uint8_t* entry = &group[kHeaderSize + i * kGroupEntrySize];
    entry[0] = images[i].width;
    entry[1] = images[i].height;
    entry[2] = images[i].colorCount;
    StoreU16(entry + 4, images[i].planes);
    StoreU16(entry + 6, images[i].bitCount);
    StoreU32(entry + 8, static_cast<uint32_t>(images[i].bytes.size()));
    StoreU16(entry + 12, ids[i]);
  }
  return group;
}

std::vector<uint16_t> IconGroupIds(const std::vector<uint8_t>& group) {
  std::vector<uint16_t> ids;
  if (group.size() < kHeaderSize) return ids;
  uint32_t count = LoadU16(&group[4]);
  if (group.size() < kHeaderSize + uint64_t{count} * kGroupEntrySize) return ids;
  for (uint32_t i = 0; i < count; ++i) ids.push_back(LoadU16(&group[kHeaderSize + i * kGroupEntrySize + 12]));
  return ids;
}
