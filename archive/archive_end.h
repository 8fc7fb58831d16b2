// Where the archive part of a self-extracting file ends.  An unsigned file
// ends with the trailer.  A signed file carries the PE certificate table
// behind the trailer, named by the certificate-table entry of the PE header's
// data directory; the archive part then ends where that table begins.  A
// signing tool pads the file to a multiple of 8 with zero bytes before it
// appends the table, so behind the trailer of a file whose length was not a
// multiple of 8 there may be up to 7 zero bytes.  Portable: no <windows.h>.
#pragma once

#include <cstdint>


constexpr uint32_t kPeOffsetField = 0x3C;      // DOS header: file offset of the PE signature
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x010B;        // optional header of a 32-bit image
// The bytes from the PE signature up to the end of the certificate-table
// entry: signature 4, file header 20, optional header up to data directory
// entry 4 (certificate table) inclusive, 96 + 5 * 8.
constexpr uint32_t kPeHeadThroughCertificateEntry = 4 + 20 + 96 + 5 * 8;
constexpr uint32_t kSignerPaddingLimit = 7;

struct CertificateTable {
  uint32_t offset;  // a file offset, unlike the other data directory entries
  uint32_t size;
};

// The certificate-table entry of a PE32 header read at the PE signature
// (kPeHeadThroughCertificateEntry bytes).  A header that is not a PE32 one, or
// whose directory has no such entry, has no table: {0, 0}.
CertificateTable ReadCertificateEntry(const uint8_t* peHead);

// The end of the archive part: the file size when the entry is empty, the
// table's start when the table ends exactly at the end of the file.  Any other
// entry (bytes appended behind the table, a table elsewhere) answers false: a
// CorruptArchive.
bool FindArchiveEnd(CertificateTable table, uint32_t fileSize, uint32_t* archiveEnd);

// Finds the trailer among the `tailSize` bytes in front of the archive end
// (`tail` points at the first of them; at most kTrailerSize + 7 are looked
// at): right at the end, or, in a signed file, in front of up to 7 zero
// bytes.  The first place from the end that holds `locator` wins.  Answers the
// trailer's distance from the archive end (4 .. 11), or 0 when there is none.
uint32_t FindTrailer(const uint8_t* tail, uint32_t tailSize, uint32_t locator, bool isSigned);
