#include "tools/cli/sfx_file.h"

#include <algorithm>

#include "archive/block/block_decoder.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/file_kind.h"
#include "tools/pe/manifest_level.h"
#include "tools/pe/pe_checksum.h"
#include "tools/pe/pe_resources.h"

namespace {

// The stub part is read whole to find its resource directory; no stub is this big.
constexpr uint64_t kLargestStub = 64u << 20;
// The PE headers and the section table of any stub lie in the file's first 4 KiB.
constexpr uint32_t kHeadersRead = 4096;
constexpr uint32_t kSectionHeaderSize = 40;

// Where the stub part ends: behind the last section's raw data.  A signed
// file's last bytes are its certificate table, so the trailer cannot tell.
// Answers `fallback` when the headers cannot be read.
uint64_t StubPartLength(const std::vector<uint8_t>& head, uint64_t fallback) {
  if (head.size() < 0x40) return fallback;
  uint64_t pe = LoadU32(head.data() + 0x3C);
  if (pe + 24 > head.size()) return fallback;
  uint32_t sectionCount = LoadU16(head.data() + pe + 6);
  uint64_t table = pe + 24 + LoadU16(head.data() + pe + 20);
  uint64_t end = 0;
  for (uint32_t s = 0; s < sectionCount; ++s) {
    uint64_t header = table + uint64_t{s} * kSectionHeaderSize;
    if (header + kSectionHeaderSize > head.size()) return fallback;
    uint64_t rawSize = LoadU32(head.data() + header + 16);
    uint64_t rawOffset = LoadU32(head.data() + header + 20);
    end = std::max(end, rawOffset + rawSize);
  }
  return end != 0 ? end : fallback;
}

}  // namespace

SelfExtractingFile::SelfExtractingFile(const std::filesystem::path& path) : label_(PathToUtf8(path)) {
  std::string notFile = NotRegularFileReason(path);
  if (!notFile.empty()) throw CommandFailure(label_ + ": " + notFile);
  in_.open(path, std::ios::binary);
  if (!in_) throw CommandFailure("cannot read " + label_ + ": " + SystemErrorText());
  in_.seekg(0, std::ios::end);
  fileSize_ = static_cast<uint64_t>(in_.tellg());

  // The locator resource lies in the stub part; the parser then checks that the
  // trailer repeats its value.
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(fileSize_, kHeadersRead)));
  if (!head.empty() && !ReadAt(this, 0, head.data(), static_cast<uint32_t>(head.size())))
    throw CommandFailure("cannot read " + label_);
  uint64_t stubLength = std::min(fileSize_, StubPartLength(head, fileSize_));
  std::vector<uint8_t> stub(static_cast<size_t>(std::min(stubLength, kLargestStub)));
  if (!stub.empty() && !ReadAt(this, 0, stub.data(), static_cast<uint32_t>(stub.size())))
    throw CommandFailure("cannot read " + label_);
  ResourceLocation location;
  std::string why;
  if (!FindLocatorResource(stub.data(), stub.size(), &location, &why)) {
    // Without an archive the last four bytes are no stub length: look at the whole file.
    stub.resize(static_cast<size_t>(std::min(fileSize_, kLargestStub)));
    if (!stub.empty() && !ReadAt(this, 0, stub.data(), static_cast<uint32_t>(stub.size())))
      throw CommandFailure("cannot read " + label_);
    if (!FindLocatorResource(stub.data(), stub.size(), &location, &why))
      throw CommandFailure(label_ + ": not a self-extracting file: " + NoArchiveReason(why));
  }
  locatorOffset_ = location.fileOffset;
  ResourceLocation manifest;
  hasManifest_ = FindManifestResource(stub.data(), stub.size(), &manifest, &why);
  if (hasManifest_)
    executionLevel_ = ReadExecutionLevel(std::string(stub.begin() + manifest.fileOffset,
                                                     stub.begin() + manifest.fileOffset + manifest.size));
  if (!FindPeChecksumField(stub.data(), stub.size(), &checksumField_)) checksumField_ = 0;
  uint32_t locator = LoadU32(stub.data() + location.fileOffset);
  if (locator == 0) throw CommandFailure(label_ + ": not a self-extracting file: " + kBareStubReason);

  ArchiveSource source{&SelfExtractingFile::ReadAt, this, fileSize_};
  ParseError error;
  if (!OpenArchiveParser(source, locator, &parser_, &error)) Corrupt(error.what, error.offset);
}

bool SelfExtractingFile::ReadAt(void* context, uint32_t offset, void* buffer, uint32_t size) {
  auto* self = static_cast<SelfExtractingFile*>(context);
  self->in_.clear();
  self->in_.seekg(offset, std::ios::beg);
  return static_cast<bool>(self->in_.read(static_cast<char*>(buffer), size));
}

void SelfExtractingFile::Corrupt(const char* what, uint32_t offset) const {
  throw CommandFailure(label_ + ": corrupt self-extracting file: " + what + " at offset " +
                       std::to_string(offset));
}

ParsedEntry SelfExtractingFile::NextEntry() {
  ParsedEntry entry;
  ParseError error;
  if (!::NextEntry(&parser_, IsShiftJisLeadByte, &entry, &error)) Corrupt(error.what, error.offset);
  return entry;
}

std::vector<uint8_t> SelfExtractingFile::ReadData(const ParsedEntry& entry) {
  std::vector<uint8_t> data(entry.dataSize);
  if (!data.empty() && !ReadAt(this, entry.dataOffset, data.data(), entry.dataSize))
    throw CommandFailure("cannot read " + label_ + " at offset " + std::to_string(entry.dataOffset));
  return data;
}

std::vector<uint8_t> SelfExtractingFile::Decode(const ParsedEntry& entry, const std::vector<uint8_t>& block) {
  uint8_t* out = nullptr;
  uint32_t size = 0;
  DecodeResult result = DecodeBlock(block.data(), static_cast<uint32_t>(block.size()), &out, &size, nullptr, 0);
  if (result == DecodeOutOfMemory) throw CommandFailure(label_ + ": out of memory decoding an entry");
  if (result != DecodeOk)
    Corrupt(result == DecodeBadMagic ? "compressed entry does not start with a block magic"
                                     : "compressed entry's block does not decode",
            entry.dataOffset);
  std::vector<uint8_t> decoded(out, out + size);
  FreeBlock(out);
  return decoded;
}

std::vector<uint8_t> SelfExtractingFile::Content(const ParsedEntry& entry) {
  std::vector<uint8_t> data = ReadData(entry);
  if (!EntryIsStored(entry.header)) data = Decode(entry, data);
  ParseError error;
  if (!CheckEntryContent(entry, data.data(), static_cast<uint32_t>(data.size()), &error))
    Corrupt(error.what, error.offset);
  return data;
}

StubCheck SelfExtractingFile::CheckStub() {
  uint8_t field[4];
  if (checksumField_ == 0 || !ReadAt(this, static_cast<uint32_t>(checksumField_), field, 4) || LoadU32(field) == 0)
    return StubCheck::Absent;
  PeChecksum whole(checksumField_), stubAlone(checksumField_);
  uint64_t stubLength = parser_.locator;
  std::vector<uint8_t> chunk(1u << 20);
  for (uint64_t at = 0; at < fileSize_; at += chunk.size()) {
    uint32_t size = static_cast<uint32_t>(std::min<uint64_t>(chunk.size(), fileSize_ - at));
    if (!ReadAt(this, static_cast<uint32_t>(at), chunk.data(), size))
      throw CommandFailure("cannot read " + label_ + " at offset " + std::to_string(at));
    whole.Add(chunk.data(), size);
    if (at >= stubLength) continue;
    uint32_t inStub = static_cast<uint32_t>(std::min<uint64_t>(size, stubLength - at));
    // The stub's own checksum was made while its locator still held 0.
    for (uint64_t i = locatorOffset_; i < locatorOffset_ + kLocatorSize; ++i)
      if (i >= at && i < at + inStub) chunk[static_cast<size_t>(i - at)] = 0;
    stubAlone.Add(chunk.data(), inStub);
  }
  uint32_t stored = LoadU32(field);
  if (stored == whole.Value()) return StubCheck::WholeFile;
  if (stored == stubAlone.Value()) return StubCheck::StubAlone;
  return StubCheck::Mismatch;
}

void SelfExtractingFile::Finish() {
  ParseError error;
  if (!FinishArchiveParser(&parser_, &error)) Corrupt(error.what, error.offset);
}
