// The integrity record makes a reader refuse damaged data instead of
// extracting it, and a signed file (certificate table behind the archive,
// with or without a signer's padding) reads like the unsigned one.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/host_parser.h"
#include "archive/block/block_decoder.h"
#include "archive/checksum.h"
#include "archive_images.h"
#include "fake_stub.h"
#include "tools/archive_writer.h"

namespace {

const uint32_t kL = static_cast<uint32_t>(fake_stub::Make().size());

struct Memory {
  const std::vector<uint8_t>* bytes;
};

bool ReadMemory(void* context, uint32_t offset, void* buffer, uint32_t size) {
  const std::vector<uint8_t>& b = *static_cast<Memory*>(context)->bytes;
  if (offset > b.size() || size > b.size() - offset) return false;
  std::memcpy(buffer, b.data() + offset, size);
  return true;
}

// Everything a reader hands on from a file, to compare a damaged file's
// reading with the original's.
struct Reading {
  bool ok = false;
  ParseError error{ReaderOutcome::Ok, 0, ""};
  std::string description;  // header fields, strings, every entry's header, name and content
};

Reading ReadAll(const std::vector<uint8_t>& image) {
  Reading r;
  Memory memory{&image};
  ArchiveParser parser;
  if (!OpenArchiveParser(ArchiveSource{ReadMemory, &memory, image.size()}, kL, &parser, &r.error)) return r;
  const ArchiveHeader& h = parser.header;
  r.description = std::to_string(h.entryCount) + "/" + std::to_string(h.automaticMode != 0) + "/" +
                  std::to_string(h.requiredSize) + "/" + parser.followUpName + "/" + parser.followUpArgs;
  for (uint32_t i = 0; i < h.entryCount; ++i) {
    ParsedEntry entry;
    if (!NextEntry(&parser, IsShiftJisLeadByte, &entry, &r.error)) return r;
    std::vector<uint8_t> content(image.begin() + entry.dataOffset,
                                 image.begin() + entry.dataOffset + entry.dataSize);
    if (!EntryIsStored(entry.header)) {
      uint8_t* decoded = nullptr;
      uint32_t size = 0;
      if (DecodeBlock(content.data(), entry.dataSize, &decoded, &size, nullptr, 0) != DecodeOk) {
        r.error = ParseError{ReaderOutcome::ReadFailure, entry.dataOffset, "block does not decode"};
        return r;
      }
      content.assign(decoded, decoded + size);
      FreeBlock(decoded);
    }
    if (!CheckEntryContent(entry, content.data(), static_cast<uint32_t>(content.size()), &r.error)) return r;
    uint8_t headerBytes[kEntryHeaderSize];
    SerializeEntryHeader(entry.header, headerBytes);
    // The stored flag and data size may differ without harm; times and name may not.
    r.description += "|" + std::string(reinterpret_cast<const char*>(headerBytes) + 4, 16) +
                     std::string(reinterpret_cast<const char*>(entry.name), entry.nameLength) + ":" +
                     std::string(content.begin(), content.end());
  }
  if (!FinishArchiveParser(&parser, &r.error)) return r;
  r.ok = true;
  return r;
}

std::vector<uint8_t> Sample(size_t extraBytes = 0) {
  ArchiveInput text;
  text.name = "docs\\readme.txt";
  for (int i = 0; i < 40; ++i) text.content.insert(text.content.end(), {'l', 'i', 'n', 'e', ' ', uint8_t('0' + i % 10), '\n'});
  text.creationTime = {0x11111111, 0x01D00000};
  text.lastWriteTime = {0x22222222, 0x01D00001};
  ArchiveInput binary;
  binary.name = "bin\\tool.dat";
  for (size_t i = 0; i < 48 + extraBytes; ++i) binary.content.push_back(static_cast<uint8_t>(i * 151 + 7));
  binary.level = 0;
  ArchiveInput empty;
  empty.name = "empty.cfg";
  ArchiveOptions options;
  options.followUpName = "setup.exe";
  options.followUpArgs = "/quiet";
  std::vector<uint8_t> image;
  std::string error;
  EXPECT_TRUE(BuildSelfExtractingImage(fake_stub::Make(), {text, binary, empty}, options, &image, &error))
      << error;
  return image;
}

struct SweepCounts {
  int refused = 0;
  int identical = 0;
  int differing = 0;  // read as good, with something else than was packed
};

// Every byte of the archive part xor each mask, and every truncation with the
// trailer put back (so the reader walks the cut archive).
SweepCounts Sweep(const std::vector<uint8_t>& image) {
  const Reading good = ReadAll(image);
  EXPECT_TRUE(good.ok) << good.error.what;
  SweepCounts counts;
  auto judge = [&](const std::vector<uint8_t>& damaged) {
    Reading r = ReadAll(damaged);
    if (!r.ok)
      ++counts.refused;
    else if (r.description == good.description)
      ++counts.identical;
    else
      ++counts.differing;
  };
  for (size_t at = kL; at < image.size(); ++at) {
    for (uint8_t mask : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
      std::vector<uint8_t> damaged = image;
      damaged[at] ^= mask;
      judge(damaged);
    }
    if (at + 4 <= image.size()) {
      std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(at));
      cut.insert(cut.end(), image.end() - 4, image.end());
      judge(cut);
    }
  }
  return counts;
}

}  // namespace

TEST(Checksum32, MatchesTheHashItIsDefinedAs) {
  // Values of XXH32 with seed 0 from an independent implementation.
  struct Known {
    const char* text;
    uint32_t value;
  } known[] = {{"", 0x02CC5D05u}, {"a", 0x550D7456u}, {"abc", 0x32D153FFu},
               {"0123456789abcdef", 0xC2C45B69u},
               {"0123456789abcdefghijklmnopqrstuvwxyz0123", 0x63ABC305u}};
  for (const Known& k : known)
    EXPECT_EQ(Checksum32(reinterpret_cast<const uint8_t*>(k.text), std::strlen(k.text)), k.value) << k.text;
}

TEST(Checksum32, EverySingleBitFlipChangesIt) {
  std::vector<uint8_t> data(67);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
  const uint32_t original = Checksum32(data.data(), data.size());
  for (size_t bit = 0; bit < data.size() * 8; ++bit) {
    data[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    EXPECT_NE(Checksum32(data.data(), data.size()), original) << bit;
    data[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
  }
}

TEST(IntegrityRecord, NoSingleByteChangeOrTruncationReadsAsGoodWithOtherContent) {
  SweepCounts counts = Sweep(Sample());
  EXPECT_EQ(counts.differing, 0);
  // The damage is mostly refused; what is taken leaves everything the same
  // (literal-table ranks of bytes a block never uses, for example).
  EXPECT_GT(counts.refused, counts.identical);
}

TEST(IntegrityRecord, WithoutTheRecordDamageCanPassUnseen) {
  // The sweep above has teeth: the same file without its record reads
  // damaged content as good.
  SweepCounts counts = Sweep(archive_images::WithoutIntegrityRecord(Sample()));
  EXPECT_GT(counts.differing, 0);
}

TEST(IntegrityRecord, MarkerDamageReadsAsADamagedRecordNotAsNoRecord) {
  const std::vector<uint8_t> image = Sample();
  const size_t marker = image.size() - 4 - kIntegrityFooterSize;
  for (int changed = 1; changed <= 3; ++changed) {
    std::vector<uint8_t> damaged = image;
    for (int i = 0; i < changed; ++i) damaged[marker + 2 * i] ^= 0x20;
    Reading r = ReadAll(damaged);
    EXPECT_FALSE(r.ok) << changed;
    EXPECT_EQ(r.error.outcome, ReaderOutcome::CorruptArchive) << changed;
  }
  uint8_t footer[kIntegrityFooterSize] = {};
  std::memcpy(footer, kIntegrityMarker, kIntegrityMarkerSize);
  for (uint32_t i = 0; i < kIntegrityMarkerSize; ++i) {
    EXPECT_EQ(HasIntegrityMarker(footer), i <= kIntegrityMarkerSize - kIntegrityMarkerQuorum) << i;
    footer[i] ^= 0xFF;
  }
}

TEST(IntegrityRecord, InconsistentRecordIsCorrupt) {
  const std::vector<uint8_t> image = Sample();
  const size_t footer = image.size() - 4 - kIntegrityFooterSize;
  auto withField = [&](size_t field, uint32_t value) {
    std::vector<uint8_t> b = image;
    StoreU32(b.data() + footer + field, value);
    return b;
  };
  EXPECT_EQ(ReadAll(withField(8, 2)).error.outcome, ReaderOutcome::CorruptArchive);       // entry count
  EXPECT_EQ(ReadAll(withField(8, 0xFFFF)).error.outcome, ReaderOutcome::CorruptArchive);  // larger than the file
  EXPECT_EQ(ReadAll(withField(12, 8)).error.outcome, ReaderOutcome::CorruptArchive);      // padding
}

TEST(SignedLayout, SignedFilesReadLikeUnsignedOnes) {
  // Every padding a signing tool can add in front of its table (0..7) over
  // files without a record; the locator 0x400 ends in zero bytes, like padding.
  for (size_t extra = 0; extra < 8; ++extra) {
    std::vector<uint8_t> withRecord = Sample(extra);
    std::vector<uint8_t> legacy = archive_images::WithoutIntegrityRecord(withRecord);
    for (const std::vector<uint8_t>* image : {&withRecord, &legacy}) {
      Reading plain = ReadAll(*image);
      Reading signedFile = ReadAll(archive_images::SignedLike(*image));
      ASSERT_TRUE(plain.ok) << extra;
      EXPECT_TRUE(signedFile.ok) << extra << ": " << signedFile.error.what;
      EXPECT_EQ(signedFile.description, plain.description) << extra;
    }
  }
}

TEST(SignedLayout, AnythingButATableAtTheEndIsRefused) {
  const std::vector<uint8_t> legacy = archive_images::WithoutIntegrityRecord(Sample(3));
  ASSERT_NE(legacy.size() % 8, 0u);
  const std::vector<uint8_t> signedFile = archive_images::SignedLike(legacy);
  const size_t entry = archive_images::CertificateEntryOffset(signedFile);
  const uint32_t tableOffset = LoadU32(signedFile.data() + entry);

  std::vector<uint8_t> appended = signedFile;
  appended.insert(appended.end(), 8, 0);
  std::vector<uint8_t> elsewhere = signedFile;
  archive_images::SetCertificateEntry(&elsewhere, tableOffset - 8, 1480);
  std::vector<uint8_t> sizeOnly = legacy;
  archive_images::SetCertificateEntry(&sizeOnly, 0, 16);
  // Zero bytes behind the trailer count as a signer's padding only in front of a table.
  std::vector<uint8_t> zerosUnsigned = legacy;
  zerosUnsigned.insert(zerosUnsigned.end(), 8 - legacy.size() % 8, 0);
  // Padding that is not zero.
  std::vector<uint8_t> dirtyPadding = signedFile;
  dirtyPadding[tableOffset - 1] = 1;
  for (const auto* damaged : {&appended, &elsewhere, &sizeOnly, &zerosUnsigned, &dirtyPadding}) {
    Reading r = ReadAll(*damaged);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.outcome, ReaderOutcome::CorruptArchive) << r.error.what;
  }
}

TEST(SignedLayout, WriterPadsEveryFileToAMultipleOfEight) {
  for (size_t extra = 0; extra < 16; ++extra) {
    std::vector<uint8_t> image = Sample(extra);
    EXPECT_EQ(image.size() % kFileLengthAlignment, 0u) << extra;
    EXPECT_TRUE(ReadAll(image).ok) << extra;
  }
}
