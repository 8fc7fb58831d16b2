// Any archive bytes behind a valid stub are walked by the host tools' reader
// (locator resource, trailer, header, follow-up strings, every entry, every
// block) without a read outside the file or past the trailer, and everything
// the reader hands out keeps the container's rules.
#include <cstring>
#include <string>
#include <vector>

#include "archive/host_parser.h"
#include "archive/block/block_format.h"
#include "fuzz/decoder_oracle.h"
#include "fuzz/fuzz_target.h"
#include "fuzz/sfx_image.h"
#include "tools/pe/pe_resources.h"

namespace {

struct MemorySource {
  const std::vector<uint8_t>* bytes;
  uint64_t trailerPosition;
};

// Every read must lie inside the file; apart from the look at the file's last
// bytes for the trailer, every read must end before the trailer.
bool ReadFromMemory(void* context, uint32_t offset, void* buffer, uint32_t size) {
  const auto* source = static_cast<const MemorySource*>(context);
  const uint64_t end = uint64_t{offset} + size;
  FUZZ_CHECK(end <= source->bytes->size());
  FUZZ_CHECK(end == source->bytes->size() || end <= source->trailerPosition);
  std::memcpy(buffer, source->bytes->data() + offset, size);
  return true;
}

void CheckFailure(const ParseError& error, uint64_t fileSize) {
  FUZZ_CHECK(error.outcome == ReaderOutcome::CorruptArchive || error.outcome == ReaderOutcome::ReadFailure);
  FUZZ_CHECK(error.what != nullptr && error.what[0] != '\0');
  FUZZ_CHECK(error.offset <= fileSize);
}

void CheckEntry(const ArchiveParser& parser, const ParsedEntry& entry) {
  FUZZ_CHECK(entry.header.magic == kEntryMagic);
  FUZZ_CHECK(entry.nameLength >= 1 && entry.nameLength <= kMaxNameLength);
  FUZZ_CHECK(entry.nameLength == EntryNameLength(entry.header));
  FUZZ_CHECK(entry.name[entry.nameLength] == 0);
  FUZZ_CHECK(IsSafeEntryName(entry.name, entry.nameLength, IsShiftJisLeadByte));
  FUZZ_CHECK(entry.dataOffset == uint64_t{entry.headerOffset} + kEntryHeaderSize + entry.nameLength);
  FUZZ_CHECK(uint64_t{entry.dataOffset} + entry.dataSize <= parser.trailerPosition);
  FUZZ_CHECK(parser.position == entry.dataOffset + entry.dataSize);
}

// A compressed entry's block goes through the decoder with its checks, unless
// it declares more output than the fuzzer should produce.
void CheckBlock(const std::vector<uint8_t>& image, const ParsedEntry& entry) {
  if (EntryIsStored(entry.header)) return;
  const uint8_t* block = image.data() + entry.dataOffset;
  if (entry.dataSize >= kBlockHeaderSize && LoadU32(block + 4) > kFuzzMaxDecodedSize) return;
  // An exact-size copy, so a read past the block's end is caught.
  std::vector<uint8_t> copy(block, block + entry.dataSize);
  CheckDecodeBlock(copy.empty() ? block : copy.data(), entry.dataSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SfxImage image;
  if (!SfxImageFromInput(data, size, &image)) return 0;
  const std::vector<uint8_t>& bytes = image.bytes;

  // The host tools find L in the stub's resource before they parse.
  ResourceLocation location;
  std::string why;
  FUZZ_CHECK(FindLocatorResource(bytes.data(), image.locator, &location, &why));
  FUZZ_CHECK(LoadU32(bytes.data() + location.fileOffset) == image.locator);

  MemorySource memory{&bytes, bytes.size() >= kTrailerSize ? bytes.size() - kTrailerSize : 0};
  ArchiveSource source{ReadFromMemory, &memory, bytes.size()};
  ArchiveParser parser;
  ParseError error;
  if (!OpenArchiveParser(source, image.locator, &parser, &error)) {
    CheckFailure(error, bytes.size());
    return 0;
  }
  FUZZ_CHECK(parser.header.magic == kArchiveMagic && parser.header.headerSize == kArchiveHeaderSize);
  FUZZ_CHECK(parser.position == uint64_t{image.locator} + kArchiveHeaderSize + FollowUpStringsSize(parser.header));
  FUZZ_CHECK(std::strlen(parser.followUpName) <= kMaxFollowUpLength);
  FUZZ_CHECK(std::strlen(parser.followUpArgs) <= kMaxFollowUpLength);

  for (uint32_t i = 0; i < parser.header.entryCount; ++i) {
    ParsedEntry entry;
    if (!NextEntry(&parser, IsShiftJisLeadByte, &entry, &error)) {
      CheckFailure(error, bytes.size());
      return 0;
    }
    CheckEntry(parser, entry);
    CheckBlock(bytes, entry);
  }
  // The header's count is the end: no entry may be read beyond it.
  ParsedEntry extra;
  FUZZ_CHECK(!NextEntry(&parser, IsShiftJisLeadByte, &extra, &error));
  return 0;
}
