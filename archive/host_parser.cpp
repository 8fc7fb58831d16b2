#include "archive/host_parser.h"

#include <cstring>
#include <vector>

#include "archive/checksum.h"

namespace {

bool Fail(ParseError* error, ReaderOutcome outcome, uint32_t offset, const char* what) {
  error->outcome = outcome;
  error->offset = offset;
  error->what = what;
  return false;
}

bool ReadAt(const ArchiveSource& source, uint32_t offset, void* buffer, uint32_t size) {
  return size == 0 || source.readAt(source.context, offset, buffer, size);
}

// Reads `size` bytes at the parser's position, which must end before the trailer.
bool ReadNext(ArchiveParser* parser, void* buffer, uint32_t size, const char* whatPastEnd,
              ParseError* error) {
  if (!CheckFitsBeforeTrailer(parser->position, size, parser->trailerPosition))
    return Fail(error, ReaderOutcome::CorruptArchive, parser->position, whatPastEnd);
  if (!ReadAt(parser->source, parser->position, buffer, size))
    return Fail(error, ReaderOutcome::ReadFailure, parser->position, "read failed");
  parser->position += size;
  return true;
}

// The PE header's certificate-table entry; {0, 0} for a file that is no PE32
// image (the stub part is then no program, and nobody can have signed it).
CertificateTable ReadCertificateTable(const ArchiveSource& source, uint32_t fileSize) {
  uint8_t field[4];
  if (fileSize < kPeOffsetField + 4 || !ReadAt(source, kPeOffsetField, field, 4)) return {0, 0};
  uint32_t peOffset = LoadU32(field);
  if (peOffset > fileSize || fileSize - peOffset < kPeHeadThroughCertificateEntry) return {0, 0};
  uint8_t head[kPeHeadThroughCertificateEntry];
  if (!ReadAt(source, peOffset, head, sizeof head)) return {0, 0};
  return ReadCertificateEntry(head);
}

bool LocateTrailer(ArchiveParser* parser, uint32_t fileSize, ParseError* error) {
  parser->certificateTable = ReadCertificateTable(parser->source, fileSize);
  uint32_t archiveEnd = 0;
  if (!FindArchiveEnd(parser->certificateTable, fileSize, &archiveEnd))
    return Fail(error, ReaderOutcome::CorruptArchive, fileSize,
                "certificate table does not end at the end of the file (bytes appended to a signed file?)");
  uint8_t tail[kTrailerSize + kSignerPaddingLimit];
  uint32_t tailSize = archiveEnd < sizeof tail ? archiveEnd : static_cast<uint32_t>(sizeof tail);
  if (tailSize < kTrailerSize || !ReadAt(parser->source, archiveEnd - tailSize, tail, tailSize))
    return Fail(error, ReaderOutcome::ReadFailure, archiveEnd, "cannot read the trailer");
  bool isSigned = parser->certificateTable.size != 0;
  uint32_t distance = FindTrailer(tail, tailSize, parser->locator, isSigned);
  if (distance == 0)
    return Fail(error, ReaderOutcome::CorruptArchive, archiveEnd - kTrailerSize,
                "trailer differs from the locator (file cut short, appended to, or no archive)");
  parser->trailerPosition = archiveEnd - distance;
  return true;
}

// Finds and checks the integrity record, if the file carries one.
bool OpenIntegrityRecord(ArchiveParser* parser, ParseError* error) {
  IntegrityRecordPlace& record = parser->record;
  uint32_t footerAt = parser->trailerPosition - kIntegrityFooterSize;
  if (parser->trailerPosition - parser->locator < kArchiveHeaderSize + kIntegrityFooterSize) return true;
  uint8_t bytes[kIntegrityFooterSize];
  if (!ReadAt(parser->source, footerAt, bytes, kIntegrityFooterSize))
    return Fail(error, ReaderOutcome::ReadFailure, footerAt, "cannot read the integrity record");
  if (!HasIntegrityMarker(bytes)) return true;
  record.footer = ParseIntegrityFooter(bytes);
  if (!PlaceIntegrityRecord(record.footer, parser->header, parser->locator, parser->trailerPosition,
                           &record.recordStart, &record.entriesEnd))
    return Fail(error, ReaderOutcome::CorruptArchive, footerAt,
                "integrity record is inconsistent (entry count, padding or size)");
  // The entry checks are checked here, as the stub does, and read again one
  // at a time by NextEntry.
  uint32_t size = IntegrityRecordSize(record.footer.entryCount);
  std::vector<uint8_t> whole(size);
  if (!ReadAt(parser->source, record.recordStart, whole.data(), size))
    return Fail(error, ReaderOutcome::ReadFailure, record.recordStart, "cannot read the integrity record");
  if (!IntegrityRecordIntact(whole.data(), size))
    return Fail(error, ReaderOutcome::CorruptArchive, record.recordStart,
                "integrity record does not match its own checksum");
  record.present = true;
  return true;
}

}  // namespace

bool OpenArchiveParser(const ArchiveSource& source, uint32_t locator, ArchiveParser* parser,
                       ParseError* error) {
  std::memset(parser, 0, sizeof *parser);
  parser->source = source;
  parser->locator = locator;
  if (source.fileSize < kTrailerSize)
    return Fail(error, ReaderOutcome::ReadFailure, 0, "file too short to hold a trailer");
  if (source.fileSize > kMaxSelfExtractingFileSize)
    return Fail(error, ReaderOutcome::CorruptArchive, 0, "file is 2 GiB or larger");
  uint32_t fileSize = static_cast<uint32_t>(source.fileSize);
  if (!LocateTrailer(parser, fileSize, error)) return false;
  if (!CheckFileSize(parser->trailerPosition + kTrailerSize, locator))
    return Fail(error, ReaderOutcome::CorruptArchive, locator, "no room for the archive header");
  parser->position = locator;

  uint8_t bytes[kArchiveHeaderSize];
  if (!ReadNext(parser, bytes, kArchiveHeaderSize, "archive header runs into the trailer", error))
    return false;
  parser->header = ParseArchiveHeader(bytes);
  const ArchiveHeader& h = parser->header;
  if (h.magic != kArchiveMagic)
    return Fail(error, ReaderOutcome::CorruptArchive, locator, "archive header magic is not \"AL\"");
  if (!CheckArchiveHeader(h))
    return Fail(error, ReaderOutcome::CorruptArchive, locator,
                h.headerSize != kArchiveHeaderSize ? "archive headerSize is not 16"
                                                   : "follow-up string longer than 259 bytes");
  if (!OpenIntegrityRecord(parser, error)) return false;
  if (h.followUpNameLength > 0) {
    if (!ReadNext(parser, parser->followUpName, h.followUpNameLength,
                  "follow-up program name runs into the trailer", error) ||
        !ReadNext(parser, parser->followUpArgs, h.followUpArgsLength,
                  "follow-up arguments run into the trailer", error))
      return false;
  }
  if (parser->record.present &&
      ArchiveStartCheck(h, parser->followUpName, parser->followUpArgs) != parser->record.footer.startCheck)
    return Fail(error, ReaderOutcome::CorruptArchive, locator,
                "archive header or follow-up strings do not match their checksum");
  return true;
}

bool NextEntry(ArchiveParser* parser, LeadByteTest isLeadByte, ParsedEntry* entry, ParseError* error) {
  std::memset(entry, 0, sizeof *entry);
  if (parser->entriesRead >= parser->header.entryCount)
    return Fail(error, ReaderOutcome::CorruptArchive, parser->position, "no more entries");
  entry->headerOffset = parser->position;
  uint8_t bytes[kEntryHeaderSize];
  if (!ReadNext(parser, bytes, kEntryHeaderSize, "entry header runs into the trailer", error)) return false;
  entry->header = ParseEntryHeader(bytes);
  if (entry->header.magic != kEntryMagic)
    return Fail(error, ReaderOutcome::CorruptArchive, entry->headerOffset, "entry header magic is not \"FL\"");
  if (!CheckEntryHeader(entry->header))
    return Fail(error, ReaderOutcome::CorruptArchive, entry->headerOffset + 2,
                EntryNameLength(entry->header) == 0 ? "entry name length is 0"
                                                    : "entry name longer than 519 bytes");
  entry->nameLength = EntryNameLength(entry->header);
  uint32_t nameOffset = parser->position;
  if (!ReadNext(parser, entry->name, entry->nameLength, "entry name runs into the trailer", error))
    return false;
  if (!IsSafeEntryName(entry->name, entry->nameLength, isLeadByte))
    return Fail(error, ReaderOutcome::CorruptArchive, nameOffset,
                "entry name is unsafe (absolute, drive or stream, or leaves the folder)");
  if (parser->record.present) {
    uint32_t checkAt = parser->record.recordStart + parser->entriesRead * kEntryCheckSize;
    uint8_t checkBytes[kEntryCheckSize];
    if (!ReadAt(parser->source, checkAt, checkBytes, kEntryCheckSize))
      return Fail(error, ReaderOutcome::ReadFailure, checkAt, "cannot read the integrity record");
    EntryCheck check = ParseEntryCheck(checkBytes);
    if (EntryHeaderCheck(entry->header, entry->name) != check.headerCheck)
      return Fail(error, ReaderOutcome::CorruptArchive, entry->headerOffset,
                  "entry header or name does not match its checksum");
    entry->hasContentCheck = true;
    entry->contentCheck = check.contentCheck;
  }
  entry->dataOffset = parser->position;
  entry->dataSize = entry->header.dataSize;
  if (!CheckFitsBeforeTrailer(parser->position, entry->dataSize, parser->trailerPosition))
    return Fail(error, ReaderOutcome::CorruptArchive, entry->dataOffset, "entry data runs into the trailer");
  parser->position += entry->dataSize;
  ++parser->entriesRead;
  return true;
}

bool CheckEntryContent(const ParsedEntry& entry, const uint8_t* content, uint32_t size, ParseError* error) {
  if (!entry.hasContentCheck || Checksum32(content, size) == entry.contentCheck) return true;
  return Fail(error, ReaderOutcome::CorruptArchive, entry.dataOffset,
              "entry content does not match its checksum");
}

bool FinishArchiveParser(ArchiveParser* parser, ParseError* error) {
  const IntegrityRecordPlace& record = parser->record;
  if (!record.present) return true;
  if (parser->position != record.entriesEnd)
    return Fail(error, ReaderOutcome::CorruptArchive, parser->position,
                "entries do not end where the integrity record begins");
  uint8_t padding[kFileLengthAlignment] = {};
  if (!ReadAt(parser->source, record.entriesEnd, padding, record.footer.paddingSize))
    return Fail(error, ReaderOutcome::ReadFailure, record.entriesEnd, "cannot read the padding");
  for (uint32_t i = 0; i < record.footer.paddingSize; ++i)
    if (padding[i] != 0)
      return Fail(error, ReaderOutcome::CorruptArchive, record.entriesEnd + i,
                  "padding in front of the integrity record is not zero");
  return true;
}
