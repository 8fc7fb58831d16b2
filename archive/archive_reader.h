// The stub's reader of its own appended archive (Win32).  The worker calls the
// steps in order on one open file: LocateArchive, ReadFollowUpStrings, then
// ReadEntryHeader and ReadEntryData once per entry, and CloseArchive on every
// path.  The *At variants take a file and locator value directly, so tests can
// point the reader at any file.
#pragma once

#include <windows.h>

#include <cstdint>

#include "archive/archive_format.h"
#include "archive/reader_outcome.h"

// Answers true when the run is to stop; consulted at three points of
// LocateArchive: once the locator is known, after the file is opened, and
// after the file size is checked.
using CancelTest = bool (*)();

struct OpenArchive {
  HANDLE file;               // INVALID_HANDLE_VALUE when closed
  ArchiveHeader header;
  uint32_t position;         // offset of the next byte to read
  uint32_t trailerPosition;  // file size - 4: nothing may be read from here on
};

// Finds the program's own file and locator resource and opens the archive:
// Ok (file positioned behind the header), Cancelled, or a failure class.
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

// Reads the next entry header and its name into the 520-byte `name` buffer
// (cleared first).  Refuses a name that would leave the destination folder.
ReaderOutcome ReadEntryHeader(OpenArchive* archive, EntryHeader* entry, char* name);

// Reads the entry's data into a new zero-filled process-heap buffer of
// dataSize bytes, owned by the caller (HeapFree on the process heap).
ReaderOutcome ReadEntryData(OpenArchive* archive, const EntryHeader& entry, uint8_t** data);

void CloseArchive(OpenArchive* archive);

// The header's requiredSize, or 0 on any failure; *automaticMode is 1 only
// when every check passed and the header asks for automatic mode.
uint32_t ReadArchiveSummary(int* automaticMode);
uint32_t ReadArchiveSummaryAt(const char* path, uint32_t locator, int* automaticMode);
