// The host tools' reader of a self-extracting file: the same checks, in the
// same order, as the stub's reader, over any byte source (a file read as it
// goes, or a whole image in memory), with every refusal reported as what is
// wrong and at which file offset.  Portable: no <windows.h>, no exceptions.
#pragma once

#include <cstdint>

#include "archive/archive_end.h"
#include "archive/archive_format.h"
#include "archive/container_checks.h"
#include "archive/integrity_record.h"
#include "archive/reader_outcome.h"

// Reads exactly `size` bytes at `offset`; false when the read fails.
using ReadAtFunction = bool (*)(void* context, uint32_t offset, void* buffer, uint32_t size);

struct ArchiveSource {
  ReadAtFunction readAt;
  void* context;
  uint64_t fileSize;
};

struct ParseError {
  ReaderOutcome outcome;  // the class the stub would report
  uint32_t offset;        // where in the file the fault lies
  const char* what;       // a short English description
};

// The integrity record, when the file carries one (see integrity_record.h).
struct IntegrityRecordPlace {
  bool present;
  uint32_t recordStart;  // the first entry check
  uint32_t entriesEnd;   // where the last entry's data must end
  IntegrityFooter footer;
};

struct ArchiveParser {
  ArchiveSource source;
  uint32_t locator;          // L: the stub's length, where the archive begins
  uint32_t trailerPosition;  // the trailer: in front of the certificate table of a signed file
  CertificateTable certificateTable;  // {0, 0}: not signed
  IntegrityRecordPlace record;
  ArchiveHeader header;
  char followUpName[kFollowUpBufferSize];  // zero-terminated
  char followUpArgs[kFollowUpBufferSize];
  uint32_t position;      // the next unread byte
  uint32_t entriesRead;
};

struct ParsedEntry {
  uint32_t headerOffset;
  EntryHeader header;
  uint8_t name[kNameBufferSize];  // zero-terminated
  uint32_t nameLength;
  uint32_t dataOffset;
  uint32_t dataSize;
  bool hasContentCheck;   // the file carries an integrity record
  uint32_t contentCheck;  // Checksum32 the entry's content must have
};

// Finds the archive's end (the certificate table of a signed file, else the
// file's end) and the trailer in front of it, checks the trailer against
// `locator`, the file size, the archive header and the follow-up strings, and
// the integrity record when there is one (its place, its own checksum and the
// checksum of the header and the strings); leaves the parser in front of the
// first entry.
bool OpenArchiveParser(const ArchiveSource& source, uint32_t locator, ArchiveParser* parser,
                       ParseError* error);

// Reads the next entry's header and name and steps over its data (not read).
// The name must be safe, judged with `isLeadByte` (null: single-byte names),
// and with a record, the header and name must match their checksum.
// Call at most header.entryCount times.
bool NextEntry(ArchiveParser* parser, LeadByteTest isLeadByte, ParsedEntry* entry,
               ParseError* error);

// With a record: the entry's content (decoded, for a compressed entry) must
// match its checksum.  Without one there is nothing to compare: true.
bool CheckEntryContent(const ParsedEntry& entry, const uint8_t* content, uint32_t size,
                       ParseError* error);

// After the last entry: with a record, the entries must end exactly where the
// record's padding begins, and the padding must be zero bytes.
bool FinishArchiveParser(ArchiveParser* parser, ParseError* error);
