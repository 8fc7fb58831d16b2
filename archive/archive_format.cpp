#include "archive/archive_format.h"

namespace {

FileTime LoadFileTime(const uint8_t* p) { return FileTime{LoadU32(p), LoadU32(p + 4)}; }

void StoreFileTime(uint8_t* p, FileTime t) {
  StoreU32(p, t.low);
  StoreU32(p + 4, t.high);
}

}  // namespace

ArchiveHeader ParseArchiveHeader(const uint8_t bytes[kArchiveHeaderSize]) {
  ArchiveHeader h;
  h.magic = LoadU16(bytes + 0);
  h.headerSize = LoadU16(bytes + 2);
  h.entryCount = LoadU16(bytes + 4);
  h.automaticMode = LoadU16(bytes + 6);
  h.followUpNameLength = LoadU16(bytes + 8);
  h.followUpArgsLength = LoadU16(bytes + 10);
  h.requiredSize = LoadU32(bytes + 12);
  return h;
}

void SerializeArchiveHeader(const ArchiveHeader& h, uint8_t bytes[kArchiveHeaderSize]) {
  StoreU16(bytes + 0, h.magic);
  StoreU16(bytes + 2, h.headerSize);
  StoreU16(bytes + 4, h.entryCount);
  StoreU16(bytes + 6, h.automaticMode);
  StoreU16(bytes + 8, h.followUpNameLength);
  StoreU16(bytes + 10, h.followUpArgsLength);
  StoreU32(bytes + 12, h.requiredSize);
}

EntryHeader ParseEntryHeader(const uint8_t bytes[kEntryHeaderSize]) {
  EntryHeader e;
  e.magic = LoadU16(bytes + 0);
  e.nameWord = LoadU16(bytes + 2);
  e.creationTime = LoadFileTime(bytes + 4);
  e.lastWriteTime = LoadFileTime(bytes + 12);
  e.dataSize = LoadU32(bytes + 20);
  return e;
}

void SerializeEntryHeader(const EntryHeader& e, uint8_t bytes[kEntryHeaderSize]) {
  StoreU16(bytes + 0, e.magic);
  StoreU16(bytes + 2, e.nameWord);
  StoreFileTime(bytes + 4, e.creationTime);
  StoreFileTime(bytes + 12, e.lastWriteTime);
  StoreU32(bytes + 20, e.dataSize);
}
