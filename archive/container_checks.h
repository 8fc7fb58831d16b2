// The structural checks of the archive container, in one place, so the stub's
// Win32 reader and the host tools' portable reader refuse exactly the same
// files.  Every size rule is evaluated in 64 bits: nothing here can wrap.
// Each Check answers whether its rule holds; a broken rule is always a
// CorruptArchive to the readers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/archive_format.h"
#include "archive/lead_byte.h"

// The trailer (the file's last four bytes) must repeat the locator value L.
bool CheckTrailer(uint32_t trailer, uint32_t locator);

// The file must hold at least the stub, a header and the trailer.
bool CheckFileSize(uint32_t fileSize, uint32_t locator);

// Magic, headerSize, and follow-up strings that fit their 260-byte buffers.
bool CheckArchiveHeader(const ArchiveHeader& header);

// The bytes the follow-up strings occupy behind the header: the arguments
// count only when a follow-up name is present.
uint32_t FollowUpStringsSize(const ArchiveHeader& header);

// Magic, and a name length of 1..519 bytes.
bool CheckEntryHeader(const EntryHeader& entry);

// A read of `size` bytes at `position` must end at or before the trailer.
bool CheckFitsBeforeTrailer(uint32_t position, uint32_t size, uint32_t trailerPosition);


// An entry name must stay below the destination folder: no leading separator,
// no drive or stream colon, no component made only of dots and spaces with two
// or more dots (Windows strips trailing dots and spaces, so ". ." and "...."
// can act as ".."), no zero byte. Both '\' and '/' separate; a double-byte
// character is stepped over whole, so its trail byte is never a separator; a
// lead byte with no valid trail byte behind it makes the name malformed.
bool IsSafeEntryName(const uint8_t* name, size_t length, LeadByteTest isLeadByte);
