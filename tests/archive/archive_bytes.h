// Test-only assembly of self-extracting file images, field by field, so tests
// can write exactly the damaged archive they need (independent of the
// producer's writer).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_format.h"

struct TestEntry {
  std::string name;
  std::string data;
  bool stored = true;
  FileTime creationTime{0x11111111, 0x01D00000};
  FileTime lastWriteTime{0x22222222, 0x01D00001};
};

class ArchiveBytes {
 public:
  // `stub` stands for the stub image; the archive starts right behind it.
  explicit ArchiveBytes(std::vector<uint8_t> stub) : bytes_(std::move(stub)), locator_(Size()) {}
  explicit ArchiveBytes(uint32_t stubSize) : ArchiveBytes(FillerStub(stubSize)) {}

  uint32_t locator() const { return locator_; }
  uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }
  std::vector<uint8_t>& bytes() { return bytes_; }

  ArchiveBytes& Header(const ArchiveHeader& header) {
    uint8_t raw[kArchiveHeaderSize];
    SerializeArchiveHeader(header, raw);
    bytes_.insert(bytes_.end(), raw, raw + sizeof raw);
    return *this;
  }

  ArchiveBytes& Text(const std::string& text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }

  // An entry header with the given nameWord and dataSize, then `name` and `data`
  // as they are (they need not agree with the header).
  ArchiveBytes& RawEntry(uint16_t nameWord, uint32_t dataSize, const std::string& name, const std::string& data,
                         FileTime creation = {1, 2}, FileTime lastWrite = {3, 4}) {
    EntryHeader e{kEntryMagic, nameWord, creation, lastWrite, dataSize};
    uint8_t raw[kEntryHeaderSize];
    SerializeEntryHeader(e, raw);
    bytes_.insert(bytes_.end(), raw, raw + sizeof raw);
    return Text(name).Text(data);
  }

  ArchiveBytes& Entry(const TestEntry& entry) {
    uint16_t nameWord = static_cast<uint16_t>(entry.name.size() | (entry.stored ? kStoredFlag : 0));
    return RawEntry(nameWord, static_cast<uint32_t>(entry.data.size()), entry.name, entry.data, entry.creationTime,
                    entry.lastWriteTime);
  }

  ArchiveBytes& Trailer() { return Trailer(locator_); }
  ArchiveBytes& Trailer(uint32_t value) {
    uint8_t raw[4];
    StoreU32(raw, value);
    bytes_.insert(bytes_.end(), raw, raw + 4);
    return *this;
  }

  static ArchiveHeader MakeHeader(uint16_t entryCount, uint32_t requiredSize = 0, uint16_t automaticMode = 0,
                                  uint16_t nameLength = 0, uint16_t argsLength = 0) {
    return ArchiveHeader{kArchiveMagic, kArchiveHeaderSize, entryCount, automaticMode, nameLength, argsLength,
                         requiredSize};
  }

 private:
  static std::vector<uint8_t> FillerStub(uint32_t size) {
    std::vector<uint8_t> stub(size);
    for (uint32_t i = 0; i < size; ++i) stub[i] = static_cast<uint8_t>(i * 31 + 7);
    return stub;
  }

  std::vector<uint8_t> bytes_;
  uint32_t locator_;
};
