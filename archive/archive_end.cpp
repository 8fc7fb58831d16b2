#include "archive/archive_end.h"

#include "archive/archive_format.h"

namespace {

constexpr uint32_t kOptionalHeaderStart = 4 + 20;
constexpr uint32_t kDirectoryCountField = kOptionalHeaderStart + 92;
constexpr uint32_t kCertificateEntryField = kOptionalHeaderStart + 96 + 4 * 8;
constexpr uint32_t kCertificateDirectoryIndex = 4;

}  // namespace

CertificateTable ReadCertificateEntry(const uint8_t* peHead) {
  CertificateTable none{0, 0};
  if (LoadU32(peHead) != kPeSignature || LoadU16(peHead + kOptionalHeaderStart) != kPe32Magic ||
      LoadU32(peHead + kDirectoryCountField) <= kCertificateDirectoryIndex)
    return none;
  return CertificateTable{LoadU32(peHead + kCertificateEntryField),
                          LoadU32(peHead + kCertificateEntryField + 4)};
}

bool FindArchiveEnd(CertificateTable table, uint32_t fileSize, uint32_t* archiveEnd) {
  if (table.offset == 0 && table.size == 0) {
    *archiveEnd = fileSize;
    return true;
  }
  if (table.offset > fileSize || table.size != fileSize - table.offset || table.size == 0)
    return false;
  *archiveEnd = table.offset;
  return true;
}

uint32_t FindTrailer(const uint8_t* tail, uint32_t tailSize, uint32_t locator, bool isSigned) {
  uint32_t padding = 0;
  while (padding + kTrailerSize <= tailSize) {
    const uint8_t* trailer = tail + tailSize - padding - kTrailerSize;
    if (LoadU32(trailer) == locator) return padding + kTrailerSize;
    // Only a signing tool's zero padding may stand behind the trailer.
    if (!isSigned || padding == kSignerPaddingLimit || tail[tailSize - padding - 1] != 0) return 0;
    ++padding;
  }
  return 0;
}
