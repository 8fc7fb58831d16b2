#include "archive/integrity_record.h"

#include <cstring>

#include "archive/checksum.h"
#include "archive/container_checks.h"

IntegrityFooter ParseIntegrityFooter(const uint8_t bytes[kIntegrityFooterSize]) {
  IntegrityFooter footer;
  std::memcpy(footer.marker, bytes, kIntegrityMarkerSize);
  footer.entryCount = LoadU32(bytes + 8);
  footer.paddingSize = LoadU32(bytes + 12);
  footer.startCheck = LoadU32(bytes + 16);
  footer.recordCheck = LoadU32(bytes + 20);
  return footer;
}

void SerializeIntegrityFooter(const IntegrityFooter& footer, uint8_t bytes[kIntegrityFooterSize]) {
  std::memcpy(bytes, footer.marker, kIntegrityMarkerSize);
  StoreU32(bytes + 8, footer.entryCount);
  StoreU32(bytes + 12, footer.paddingSize);
  StoreU32(bytes + 16, footer.startCheck);
  StoreU32(bytes + 20, footer.recordCheck);
}

EntryCheck ParseEntryCheck(const uint8_t bytes[kEntryCheckSize]) {
  return EntryCheck{LoadU32(bytes), LoadU32(bytes + 4)};
}

void SerializeEntryCheck(const EntryCheck& check, uint8_t bytes[kEntryCheckSize]) {
  StoreU32(bytes, check.headerCheck);
  StoreU32(bytes + 4, check.contentCheck);
}

bool HasIntegrityMarker(const uint8_t footerBytes[kIntegrityFooterSize]) {
  uint32_t matching = 0;
  for (uint32_t i = 0; i < kIntegrityMarkerSize; ++i) matching += footerBytes[i] == kIntegrityMarker[i];
  return matching >= kIntegrityMarkerQuorum;
}

uint32_t IntegrityRecordSize(uint32_t entryCount) {
  return entryCount * kEntryCheckSize + kIntegrityFooterSize;
}

bool PlaceIntegrityRecord(const IntegrityFooter& footer, const ArchiveHeader& header, uint32_t locator,
                          uint32_t trailerPosition, uint32_t* recordStart, uint32_t* entriesEnd) {
  if (footer.entryCount != header.entryCount || footer.paddingSize >= kFileLengthAlignment)
    return false;
  // In 64 bits: the archive's start, its header, strings and padding must all
  // lie in front of the record.
  uint64_t firstEntry = uint64_t{locator} + kArchiveHeaderSize + FollowUpStringsSize(header);
  uint64_t inFront = firstEntry + footer.paddingSize + IntegrityRecordSize(footer.entryCount);
  if (inFront > trailerPosition) return false;
  *recordStart = trailerPosition - IntegrityRecordSize(footer.entryCount);
  *entriesEnd = *recordStart - footer.paddingSize;
  return true;
}

bool IntegrityRecordIntact(const uint8_t* record, uint32_t size) {
  if (size < kIntegrityFooterSize) return false;
  uint32_t stored = LoadU32(record + size - 4);
  return Checksum32(record, size - 4) == stored;
}

uint32_t ArchiveStartCheck(const ArchiveHeader& header, const char* followUpName,
                           const char* followUpArgs) {
  uint8_t bytes[kArchiveHeaderSize + 2 * kMaxFollowUpLength];
  SerializeArchiveHeader(header, bytes);
  uint32_t size = kArchiveHeaderSize;
  if (header.followUpNameLength > 0) {
    // The lengths were checked to fit their buffers when the header was read.
    std::memcpy(bytes + size, followUpName, header.followUpNameLength);
    size += header.followUpNameLength;
    std::memcpy(bytes + size, followUpArgs, header.followUpArgsLength);
    size += header.followUpArgsLength;
  }
  return Checksum32(bytes, size);
}

uint32_t EntryHeaderCheck(const EntryHeader& entry, const uint8_t* name) {
  uint8_t bytes[kEntryHeaderSize + kMaxNameLength];
  SerializeEntryHeader(entry, bytes);
  uint32_t nameLength = EntryNameLength(entry);
  std::memcpy(bytes + kEntryHeaderSize, name, nameLength);
  return Checksum32(bytes, kEntryHeaderSize + nameLength);
}

uint32_t IntegrityPaddingSize(uint64_t entriesEnd, uint32_t recordAndTrailer) {
  uint64_t end = entriesEnd + recordAndTrailer;
  return static_cast<uint32_t>((kFileLengthAlignment - end % kFileLengthAlignment) % kFileLengthAlignment);
}
