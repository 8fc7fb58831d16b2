// The integrity record: checksums of everything a reader takes from the
// archive, kept in the space between the last entry's data and the trailer,
// which readers that only follow the entries never look at.
//
//   ... last entry's data][padding: 0..7 zero bytes]
//   [EntryCheck x entryCount][IntegrityFooter][trailer: u32 L]
//
// The footer sits at a fixed place, right before the trailer, so a reader
// finds it from the end of the file.  The padding makes the whole file's
// length a multiple of 8, so that a signing tool appends its certificate
// table right behind the trailer.  Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/archive_format.h"

constexpr uint32_t kIntegrityMarkerSize = 8;
constexpr uint8_t kIntegrityMarker[kIntegrityMarkerSize] = {'k', 'a', 'i', 't', 'o', 'S', 'u', 'm'};
// A reader takes the record as present when at least this many bytes of the
// marker match, so that damage to one or a few marker bytes reads as a damaged
// record instead of an absent one.  Eight chance bytes match this well about
// once in 2^34 files; such a file without a record would then be refused.
constexpr uint32_t kIntegrityMarkerQuorum = 5;
constexpr uint32_t kIntegrityFooterSize = 24;
constexpr uint32_t kEntryCheckSize = 8;
constexpr uint32_t kFileLengthAlignment = 8;  // what signing tools align the certificate table to

// Per entry, in entry order.
struct EntryCheck {
  uint32_t headerCheck;   // Checksum32 of the 24 header bytes followed by the name
  uint32_t contentCheck;  // Checksum32 of the file's content (decoded, for a compressed entry)
};
static_assert(sizeof(EntryCheck) == kEntryCheckSize, "EntryCheck is 8 bytes on disk");

struct IntegrityFooter {
  uint8_t marker[kIntegrityMarkerSize];
  uint32_t entryCount;   // must equal the archive header's
  uint32_t paddingSize;  // zero bytes between the last entry's data and the record, 0..7
  uint32_t startCheck;   // Checksum32 of the archive header and the follow-up strings as stored
  uint32_t recordCheck;  // Checksum32 of the record's bytes in front of this field
};
static_assert(sizeof(IntegrityFooter) == kIntegrityFooterSize, "IntegrityFooter is 24 bytes on disk");

IntegrityFooter ParseIntegrityFooter(const uint8_t bytes[kIntegrityFooterSize]);
void SerializeIntegrityFooter(const IntegrityFooter& footer, uint8_t bytes[kIntegrityFooterSize]);
EntryCheck ParseEntryCheck(const uint8_t bytes[kEntryCheckSize]);
void SerializeEntryCheck(const EntryCheck& check, uint8_t bytes[kEntryCheckSize]);

// Whether the 24 bytes in front of the trailer are a footer (see the quorum).
bool HasIntegrityMarker(const uint8_t footerBytes[kIntegrityFooterSize]);

// The record's whole size (entry checks and footer) for `entryCount` entries.
uint32_t IntegrityRecordSize(uint32_t entryCount);

// Where a present record must lie, from its footer alone: `recordStart` is the
// first byte of the entry checks, `entriesEnd` where the last entry's data must
// end.  False (a CorruptArchive) for an entry count other than the header's, a
// padding over 7, or a record that would reach into the header or the
// follow-up strings.
bool PlaceIntegrityRecord(const IntegrityFooter& footer, const ArchiveHeader& header, uint32_t locator,
                          uint32_t trailerPosition, uint32_t* recordStart, uint32_t* entriesEnd);

// The whole record as read (IntegrityRecordSize bytes): its own checksum holds.
bool IntegrityRecordIntact(const uint8_t* record, uint32_t size);

// The checksum over the archive header and the follow-up strings, exactly the
// bytes a reader takes from the file in front of the first entry.
uint32_t ArchiveStartCheck(const ArchiveHeader& header, const char* followUpName,
                           const char* followUpArgs);

// The checksum over an entry's 24 header bytes and its name.
uint32_t EntryHeaderCheck(const EntryHeader& entry, const uint8_t* name);

// The zero bytes a writer puts in front of the record so that the file, which
// ends `recordAndTrailer` bytes behind them, has a length that is a multiple of 8.
uint32_t IntegrityPaddingSize(uint64_t entriesEnd, uint32_t recordAndTrailer);
