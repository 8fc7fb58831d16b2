#include "archive/archive_parser.h"

#include <cstring>

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
  if (CheckFitsBeforeTrailer(parser->position, size, parser->trailerPosition) != ReaderOutcome::Ok)
    return Fail(error, ReaderOutcome::CorruptArchive, parser->position, whatPastEnd);
  if (!ReadAt(parser->source, parser->position, buffer, size))
    return Fail(error, ReaderOutcome::ReadFailure, parser->position, "read failed");
  parser->position += size;
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
  uint32_t trailerPosition = fileSize - kTrailerSize;
  uint8_t trailer[kTrailerSize];
  if (!ReadAt(source, trailerPosition, trailer, kTrailerSize))
    return Fail(error, ReaderOutcome::ReadFailure, trailerPosition, "cannot read the trailer");
  if (CheckTrailer(LoadU32(trailer), locator) != ReaderOutcome::Ok)
    return Fail(error, ReaderOutcome::CorruptArchive, trailerPosition,
                "trailer differs from the locator (file cut short, appended to, or no archive)");
  if (CheckFileSize(fileSize, locator) != ReaderOutcome::Ok)
    return Fail(error, ReaderOutcome::CorruptArchive, locator, "no room for the archive header");
  parser->trailerPosition = trailerPosition;
  parser->position = locator;

  uint8_t bytes[kArchiveHeaderSize];
  if (!ReadNext(parser, bytes, kArchiveHeaderSize, "archive header runs into the trailer", error))
    return false;
  parser->header = ParseArchiveHeader(bytes);
  const ArchiveHeader& h = parser->header;
  if (h.magic != kArchiveMagic)
    return Fail(error, ReaderOutcome::CorruptArchive, locator, "archive header magic is not \"AL\"");
  if (CheckArchiveHeader(h) != ReaderOutcome::Ok)
    return Fail(error, ReaderOutcome::CorruptArchive, locator,
                h.headerSize != kArchiveHeaderSize ? "archive headerSize is not 16"
                                                   : "follow-up string longer than 259 bytes");
  if (h.followUpNameLength > 0) {
    if (!ReadNext(parser, parser->followUpName, h.followUpNameLength,
                  "follow-up program name runs into the trailer", error) ||
        !ReadNext(parser, parser->followUpArgs, h.followUpArgsLength,
                  "follow-up arguments run into the trailer", error))
      return false;
  }
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
  if (CheckEntryHeader(entry->header) != ReaderOutcome::Ok)
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
  entry->dataOffset = parser->position;
  entry->dataSize = entry->header.dataSize;
  if (CheckFitsBeforeTrailer(parser->position, entry->dataSize, parser->trailerPosition) != ReaderOutcome::Ok)
    return Fail(error, ReaderOutcome::CorruptArchive, entry->dataOffset, "entry data runs into the trailer");
  parser->position += entry->dataSize;
  ++parser->entriesRead;
  return true;
}
