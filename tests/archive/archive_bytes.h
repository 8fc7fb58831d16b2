// Test-only assembly of self-extracting file images, field by field, so tests
// can write exactly the damaged archive they need (independent of the
// producer's writer).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_end.h"
#include "archive/archive_format.h"
#include "archive/checksum.h"
#include "archive/container_checks.h"
#include "archive/integrity_record.h"

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

  // The integrity record over everything appended so far (header, strings,
  // entries), behind the zero padding that makes the file with its trailer
  // a multiple of 8 long.  Content checks cover the data as stored: the
  // tests hand the reader's check the bytes they read.
  ArchiveBytes& Record() {
    const uint8_t* start = bytes_.data() + locator_;
    ArchiveHeader header = ParseArchiveHeader(start);
    const char* strings = reinterpret_cast<const char*>(start + kArchiveHeaderSize);
    std::string name(strings, header.followUpNameLength);
    std::string args(strings + name.size(), FollowUpStringsSize(header) - name.size());
    std::vector<uint8_t> record;
    size_t at = locator_ + kArchiveHeaderSize + FollowUpStringsSize(header);
    for (uint32_t i = 0; i < header.entryCount; ++i) {
      EntryHeader entry = ParseEntryHeader(bytes_.data() + at);
      const uint8_t* entryName = bytes_.data() + at + kEntryHeaderSize;
      const uint8_t* data = entryName + EntryNameLength(entry);
      uint8_t check[kEntryCheckSize];
      SerializeEntryCheck(EntryCheck{EntryHeaderCheck(entry, entryName), Checksum32(data, entry.dataSize)}, check);
      record.insert(record.end(), check, check + kEntryCheckSize);
      at += kEntryHeaderSize + EntryNameLength(entry) + entry.dataSize;
    }
    IntegrityFooter footer{};
    std::copy(kIntegrityMarker, kIntegrityMarker + kIntegrityMarkerSize, footer.marker);
    footer.entryCount = header.entryCount;
    footer.paddingSize = IntegrityPaddingSize(Size(), static_cast<uint32_t>(record.size()) + kIntegrityFooterSize + kTrailerSize);
    footer.startCheck = ArchiveStartCheck(header, name.c_str(), args.c_str());
    uint8_t raw[kIntegrityFooterSize];
    SerializeIntegrityFooter(footer, raw);
    record.insert(record.end(), raw, raw + kIntegrityFooterSize);
    StoreU32(record.data() + record.size() - 4, Checksum32(record.data(), record.size() - 4));
    bytes_.insert(bytes_.end(), footer.paddingSize, 0);
    bytes_.insert(bytes_.end(), record.begin(), record.end());
    return *this;
  }

  // What a signing tool does: `padding` zero bytes, then a certificate table
  // of `tableSize` bytes, named by the PE header's certificate-table entry.
  // The stub must come from PeStub.
  ArchiveBytes& Sign(uint32_t padding, uint32_t tableSize) {
    bytes_.insert(bytes_.end(), padding, 0);
    SetCertificateEntry(Size(), tableSize);
    bytes_.insert(bytes_.end(), tableSize, 0xC5);
    return *this;
  }
  void SetCertificateEntry(uint32_t offset, uint32_t size) {
    StoreU32(bytes_.data() + kPeAt + kCertificateEntryAt, offset);
    StoreU32(bytes_.data() + kPeAt + kCertificateEntryAt + 4, size);
  }

  // A stub of `size` filler bytes that starts like a PE32 image: "MZ", the PE
  // header's offset, and a PE32 header whose data directory has an empty
  // certificate-table entry.
  static std::vector<uint8_t> PeStub(uint32_t size) {
    std::vector<uint8_t> stub = FillerStub(size);
    stub[0] = 'M';
    stub[1] = 'Z';
    StoreU32(stub.data() + kPeOffsetField, kPeAt);
    StoreU32(stub.data() + kPeAt, kPeSignature);
    StoreU16(stub.data() + kPeAt + 24, kPe32Magic);
    StoreU32(stub.data() + kPeAt + 24 + 92, 16);  // data directory entries
    StoreU32(stub.data() + kPeAt + kCertificateEntryAt, 0);
    StoreU32(stub.data() + kPeAt + kCertificateEntryAt + 4, 0);
    return stub;
  }

  static ArchiveHeader MakeHeader(uint16_t entryCount, uint32_t requiredSize = 0, uint16_t automaticMode = 0,
                                  uint16_t nameLength = 0, uint16_t argsLength = 0) {
    return ArchiveHeader{kArchiveMagic, kArchiveHeaderSize, entryCount, automaticMode, nameLength, argsLength,
                         requiredSize};
  }

 private:
  static constexpr uint32_t kPeAt = 0x80;
  static constexpr uint32_t kCertificateEntryAt = 24 + 96 + 4 * 8;  // from the PE signature

  static std::vector<uint8_t> FillerStub(uint32_t size) {
    std::vector<uint8_t> stub(size);
    for (uint32_t i = 0; i < size; ++i) stub[i] = static_cast<uint8_t>(i * 31 + 7);
    return stub;
  }

  std::vector<uint8_t> bytes_;
  uint32_t locator_;
};
