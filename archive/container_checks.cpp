#include "archive/container_checks.h"

bool CheckTrailer(uint32_t trailer, uint32_t locator) {
  return trailer == locator;
}

bool CheckFileSize(uint32_t fileSize, uint32_t locator) {
  uint64_t needed = uint64_t{locator} + kMinimumArchiveSize;
  return fileSize >= needed;
}

bool CheckArchiveHeader(const ArchiveHeader& header) {
  if (header.magic != kArchiveMagic || header.headerSize != kArchiveHeaderSize)
    return false;
  if (header.followUpNameLength > kMaxFollowUpLength) return false;
  if (header.followUpNameLength > 0 && header.followUpArgsLength > kMaxFollowUpLength)
    return false;
  return true;
}

uint32_t FollowUpStringsSize(const ArchiveHeader& header) {
  if (header.followUpNameLength == 0) return 0;
  return uint32_t{header.followUpNameLength} + header.followUpArgsLength;
}

bool CheckEntryHeader(const EntryHeader& entry) {
  if (entry.magic != kEntryMagic) return false;
  uint32_t nameLength = EntryNameLength(entry);
  if (nameLength == 0 || nameLength > kMaxNameLength) return false;
  return true;
}

bool CheckFitsBeforeTrailer(uint32_t position, uint32_t size, uint32_t trailerPosition) {
  if (position > trailerPosition) return false;
  return size <= trailerPosition - position;
}

namespace {

bool IsSeparator(uint8_t c) { return c == '\\' || c == '/'; }

// Every double-byte code page's trail bytes start at 0x40 or above.  A lead
// byte without such a trail byte is malformed, and how the system converts it
// (dropped, replaced, or ending the character early) is not ours to guess, so
// the name is refused rather than read differently from the system.
constexpr uint8_t kLowestTrailByte = 0x40;

// A component of dots and spaces only, with at least two dots, resolves to the
// parent folder on Windows once trailing dots and spaces are stripped.
bool IsParentLike(const uint8_t* begin, const uint8_t* end) {
  int dots = 0;
  for (const uint8_t* p = begin; p != end; ++p) {
    if (*p == '.')
      ++dots;
    else if (*p != ' ')
      return false;
  }
  return dots >= 2;
}

}  // namespace

bool IsSafeEntryName(const uint8_t* name, size_t length, LeadByteTest isLeadByte) {
  if (name == nullptr || length == 0) return false;
  if (IsSeparator(name[0])) return false;
  const uint8_t* end = name + length;
  const uint8_t* componentStart = name;
  const uint8_t* p = name;
  while (p < end) {
    uint8_t c = *p;
    if (c == 0) return false;  // the name would end early and name another file
    if (isLeadByte != nullptr && isLeadByte(c)) {
      if (end - p < 2 || p[1] < kLowestTrailByte) return false;
      p += 2;
      continue;
    }
    if (c == ':') return false;
    if (IsSeparator(c)) {
      if (IsParentLike(componentStart, p)) return false;
      componentStart = p + 1;
    }
    ++p;
  }
  return !IsParentLike(componentStart, end);
}
