// On-disk layout of a self-extracting file: the appended archive's records,
// their constants and little-endian field access.  Portable: never includes
// <windows.h>, so the stub, the host tools and the native tests share it.
//
//   [stub image, L bytes][ArchiveHeader][follow-up name][follow-up args]
//   [EntryHeader name data]... [trailer: u32 L]
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t kArchiveMagic = 0x4C41;  // "AL" read as u16
constexpr uint16_t kEntryMagic = 0x4C46;    // "FL" read as u16
constexpr uint16_t kArchiveHeaderSize = 16;
constexpr uint32_t kEntryHeaderSize = 24;
constexpr uint32_t kTrailerSize = 4;
// The smallest archive part: a header and the trailer.
constexpr uint32_t kMinimumArchiveSize = kArchiveHeaderSize + kTrailerSize;

constexpr uint16_t kStoredFlag = 0x8000;       // nameWord bit 15: data is the file itself
constexpr uint16_t kNameLengthMask = 0x7FFF;   // nameWord bits 0-14: name length
constexpr uint32_t kNameBufferSize = 520;      // entry names: at most 519 bytes
constexpr uint32_t kMaxNameLength = kNameBufferSize - 1;
constexpr uint32_t kFollowUpBufferSize = 260;  // follow-up strings: at most 259 bytes
constexpr uint32_t kMaxFollowUpLength = kFollowUpBufferSize - 1;
constexpr uint32_t kMaxEntryCount = 65535;
// Positions are handed to a signed 32-bit seek, so a file stays below 2 GiB.
constexpr uint64_t kMaxSelfExtractingFileSize = 0x7FFFFFFFu;

// ArchiveHeader.automaticMode.  Any non-zero value means automatic, so a
// reader that knows only that still extracts a wrapper file without asking;
// values other than these three are read as kAutomaticModeOn.
constexpr uint16_t kAutomaticModeOff = 0;      // ask the user for the destination
constexpr uint16_t kAutomaticModeOn = 1;       // extract without asking, into a folder the stub picks
constexpr uint16_t kAutomaticModeWrapper = 2;  // installer wrapper: a fresh private folder, run, wait, delete

// The locator resource of the stub holds L, the archive's offset.
constexpr const char* kLocatorResourceType = "VAL";
constexpr int kLocatorResourceId = 133;
constexpr uint32_t kLocatorSize = 4;
constexpr uint16_t kResourceLanguageJapanese = 0x0411;

// A FILETIME: 100-nanosecond intervals since 1601-01-01 UTC, low half first.
struct FileTime {
  uint32_t low;
  uint32_t high;
};
static_assert(sizeof(FileTime) == 8, "FileTime is two u32 halves");

struct ArchiveHeader {
  uint16_t magic;
  uint16_t headerSize;
  uint16_t entryCount;
  uint16_t automaticMode;
  uint16_t followUpNameLength;
  uint16_t followUpArgsLength;  // counts only when followUpNameLength > 0
  uint32_t requiredSize;        // total bytes of all output files
};
static_assert(sizeof(ArchiveHeader) == kArchiveHeaderSize, "ArchiveHeader is 16 bytes on disk");

struct EntryHeader {
  uint16_t magic;
  uint16_t nameWord;  // bits 0-14 name length, bit 15 stored flag
  FileTime creationTime;
  FileTime lastWriteTime;
  uint32_t dataSize;
};
static_assert(sizeof(EntryHeader) == kEntryHeaderSize, "EntryHeader is 24 bytes on disk");

inline uint32_t EntryNameLength(const EntryHeader& entry) { return entry.nameWord & kNameLengthMask; }
inline bool EntryIsStored(const EntryHeader& entry) { return (entry.nameWord & kStoredFlag) != 0; }

// Little-endian access, independent of the host's byte order and alignment.
inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

ArchiveHeader ParseArchiveHeader(const uint8_t bytes[kArchiveHeaderSize]);
void SerializeArchiveHeader(const ArchiveHeader& header, uint8_t bytes[kArchiveHeaderSize]);
EntryHeader ParseEntryHeader(const uint8_t bytes[kEntryHeaderSize]);
void SerializeEntryHeader(const EntryHeader& entry, uint8_t bytes[kEntryHeaderSize]);
