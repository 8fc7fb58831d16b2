// Variants of a written self-extracting image for the reader tests: the same
// file as an older producer wrote it (no padding, no integrity record), and
// the file as a signing tool leaves it (padded to 8, certificate table
// appended, the PE header's certificate-table entry pointing at it).
#pragma once

#include <cstdint>
#include <vector>

#include "archive/archive_format.h"
#include "archive/integrity_record.h"

namespace archive_images {

inline std::vector<uint8_t> WithoutIntegrityRecord(const std::vector<uint8_t>& image) {
  const size_t trailer = image.size() - kTrailerSize;
  IntegrityFooter footer = ParseIntegrityFooter(image.data() + trailer - kIntegrityFooterSize);
  size_t entriesEnd = trailer - IntegrityRecordSize(footer.entryCount) - footer.paddingSize;
  std::vector<uint8_t> legacy(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(entriesEnd));
  legacy.insert(legacy.end(), image.end() - kTrailerSize, image.end());
  return legacy;
}

// Where the PE header's certificate-table entry lies (PE32).
inline size_t CertificateEntryOffset(const std::vector<uint8_t>& image) {
  return LoadU32(image.data() + 0x3C) + 4 + 20 + 96 + 4 * 8;
}

inline void SetCertificateEntry(std::vector<uint8_t>* image, uint32_t offset, uint32_t size) {
  size_t entry = CertificateEntryOffset(*image);
  StoreU32(image->data() + entry, offset);
  StoreU32(image->data() + entry + 4, size);
}

// Pads with zero bytes to a multiple of 8, as signing tools do, and appends a
// table of `tableSize` bytes (a multiple of 8) that the header then names.
inline std::vector<uint8_t> SignedLike(std::vector<uint8_t> image, uint32_t tableSize = 1480) {
  while (image.size() % 8 != 0) image.push_back(0);
  uint32_t tableOffset = static_cast<uint32_t>(image.size());
  for (uint32_t i = 0; i < tableSize; ++i) image.push_back(static_cast<uint8_t>(0x30 + i * 7));
  SetCertificateEntry(&image, tableOffset, tableSize);
  return image;
}

}  // namespace archive_images
