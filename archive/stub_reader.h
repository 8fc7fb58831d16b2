// The stub's reader of its own appended archive (Win32).  The worker calls the
// steps in order on one open file: LocateArchive, ReadFollowUpStrings and
// CheckArchiveStart, then per entry ReadEntryHeader, ReadEntryData and, on the
// decoded content, CheckEntryContent; FinishArchive after the last entry, and
// CloseArchive on every path.  The *At variants take a file and locator value
// directly, so tests can point the reader at any file.
//
// The archive ends at the file's end, or in a signed file where the PE
// certificate table begins.  A file that carries an integrity record (see
// archive/integrity_record.h) has it checked as a whole by LocateArchive and
// piece by piece by the later steps; a file without one reads as it always has.
#pragma once

#include <windows.h>

#include <cstdint>

#include "archive/archive_format.h"
#include "archive/reader_outcome.h"
#include "archive/scoped_handle_win.h"

// Answers true when the run is to stop; consulted at three points of
// LocateArchive: once the locator is known, after the file is opened, and
// after the file size is checked.
using CancelTest = bool (*)();

struct OpenArchive {
  ScopedHandle file;         // empty when closed
  ArchiveHeader header;
  uint8_t headerBytes[kArchiveHeaderSize];  // the header as read
  uint32_t position;         // offset of the next byte to read
  uint32_t trailerPosition;  // where the trailer lies
  uint32_t entriesEnd;       // entries may not reach past this: the trailer, or the record's padding
  uint8_t* record;           // the whole integrity record (process heap), or null without one
  uint32_t startCheck;       // the record's checksum of the header and the follow-up strings
  uint32_t paddingSize;      // zero bytes between the entries and the record
  uint32_t entriesRead;      // entry headers read so far: the index of the next entry check
  uint32_t contentCheck;     // the checksum the last entry's content must have (with a record)
};

// Finds the program's own file and locator resource and opens the archive:
// Ok (file positioned behind the header), Cancelled, or a failure class.  A
// record that is present but does not fit, cannot be read whole or fails its
// own checksum is CorruptArchive (ReadFailure for a failed read call,
// OutOfMemory when its buffer cannot be had).
ReaderOutcome LocateArchive(CancelTest cancel, OpenArchive* archive);
ReaderOutcome LocateArchiveAt(const char* path, uint32_t locator, CancelTest cancel,
                              OpenArchive* archive);

// Tests only: makes LocateArchive and ReadArchiveSummary read this file with
// this locator instead of the program's own file and resource.  The path is
// kept, not copied.  A null path restores the normal behaviour.
void OverrideArchiveSource(const char* path, uint32_t locator);

// Reads the locator value from the module's "VAL" resource 133.
bool ReadLocator(HMODULE module, uint32_t* locator);

// Fills both 260-byte buffers (zero-terminated, at most 259 bytes each).  A
// failed read empties that string; this step never fails.
void ReadFollowUpStrings(OpenArchive* archive, char* followUpName, char* followUpArgs);

// With a record: the header and the follow-up strings as read must match the
// record's checksum, else CorruptArchive.  Without one: Ok.
ReaderOutcome CheckArchiveStart(const OpenArchive* archive, const char* followUpName,
                                const char* followUpArgs);

// Reads the next entry header and its name into the 520-byte `name` buffer
// (cleared first).  Refuses a name that would leave the destination folder,
// and with a record, a header and name that do not match their checksum.
ReaderOutcome ReadEntryHeader(OpenArchive* archive, EntryHeader* entry, char* name);

// Reads the entry's data into a new zero-filled process-heap buffer of
// dataSize bytes, owned by the caller (HeapFree on the process heap).
ReaderOutcome ReadEntryData(OpenArchive* archive, const EntryHeader& entry, uint8_t** data);

// With a record: the last entry's content (decoded, for a compressed entry)
// must match its checksum, else CorruptArchive.  Without one: Ok.
ReaderOutcome CheckEntryContent(const OpenArchive* archive, const uint8_t* content, uint32_t size);

// After the last entry, with a record: the entries must end where the record's
// padding begins, and the padding must be zero bytes.  Without one: Ok.
ReaderOutcome FinishArchive(OpenArchive* archive);

// Closes the file and releases the record; safe to call more than once.
void CloseArchive(OpenArchive* archive);

// The header's requiredSize, or 0 on any failure; *automaticMode is 1 only
// when every check passed and the header asks for automatic mode, and
// *installerWrapper (when given) only when it asks for the installer wrapper.
uint32_t ReadArchiveSummary(int* automaticMode, bool* installerWrapper = nullptr);
uint32_t ReadArchiveSummaryAt(const char* path, uint32_t locator, int* automaticMode,
                              bool* installerWrapper = nullptr);
