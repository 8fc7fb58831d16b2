// The host tools' archive parser walks what the writer wrote and refuses
// every damaged file with the stub's failure class and the offset at fault.
// The structural checks are shown on files without an integrity record, as
// older producers wrote them, where nothing but the structure can fail.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/host_parser.h"
#include "archive_images.h"
#include "fake_stub.h"
#include "tools/archive_writer.h"

namespace {

struct Memory {
  std::vector<uint8_t> bytes;
};

bool ReadMemory(void* context, uint32_t offset, void* buffer, uint32_t size) {
  auto* m = static_cast<Memory*>(context);
  if (offset > m->bytes.size() || size > m->bytes.size() - offset) return false;
  std::memcpy(buffer, m->bytes.data() + offset, size);
  return true;
}

const uint32_t kL = static_cast<uint32_t>(fake_stub::Make().size());

std::vector<uint8_t> SampleWithRecord(const ArchiveOptions& options = ArchiveOptions()) {
  ArchiveInput a;
  a.name = "dir\\first.txt";
  a.content.assign(1000, 'a');
  ArchiveInput b;
  b.name = "second";
  b.content = {'b'};
  std::vector<uint8_t> image;
  std::string error;
  EXPECT_TRUE(BuildSelfExtractingImage(fake_stub::Make(), {a, b}, options, &image, &error)) << error;
  return image;
}

std::vector<uint8_t> Sample(const ArchiveOptions& options = ArchiveOptions()) {
  return archive_images::WithoutIntegrityRecord(SampleWithRecord(options));
}

// Walks every entry; answers the first failure or Ok.
ParseError Walk(std::vector<uint8_t> bytes, std::vector<ParsedEntry>* entries = nullptr) {
  Memory memory{std::move(bytes)};
  ArchiveParser parser;
  ParseError error{ReaderOutcome::Ok, 0, ""};
  if (!OpenArchiveParser(ArchiveSource{ReadMemory, &memory, memory.bytes.size()}, kL, &parser, &error)) return error;
  for (uint32_t i = 0; i < parser.header.entryCount; ++i) {
    ParsedEntry entry;
    if (!NextEntry(&parser, IsShiftJisLeadByte, &entry, &error)) return error;
    if (entries != nullptr) entries->push_back(entry);
  }
  if (!FinishArchiveParser(&parser, &error)) return error;
  return ParseError{ReaderOutcome::Ok, parser.position, ""};
}

}  // namespace

TEST(ArchiveParser, WalksAWrittenFile) {
  ArchiveOptions options;
  options.followUpName = "run.exe";
  options.followUpArgs = "-x";
  for (bool withRecord : {true, false}) {
    std::vector<uint8_t> image = withRecord ? SampleWithRecord(options) : Sample(options);
    std::vector<ParsedEntry> entries;
    ParseError end = Walk(image, &entries);
    ASSERT_EQ(end.outcome, ReaderOutcome::Ok) << end.what;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_STREQ(reinterpret_cast<const char*>(entries[0].name), "dir\\first.txt");
    EXPECT_EQ(entries[0].headerOffset, kL + 16 + 9);
    EXPECT_TRUE(EntryIsStored(entries[1].header));
    EXPECT_EQ(entries[1].hasContentCheck, withRecord);
    uint32_t entriesEnd = entries[1].dataOffset + entries[1].dataSize;
    EXPECT_EQ(end.offset, entriesEnd);
    if (withRecord) {
      // Padding, one 8-byte check per entry, the footer, the trailer; the
      // file's length a multiple of 8 for a signing tool.
      EXPECT_EQ(image.size() % 8, 0u);
      EXPECT_LT(image.size() - 4 - (entriesEnd + 2 * 8 + 24), 8u);
    } else {
      EXPECT_EQ(entriesEnd, image.size() - 4);
    }
  }
}

TEST(ArchiveParser, RefusesDamagedFilesWithClassAndOffset) {
  const std::vector<uint8_t> good = Sample();
  const uint32_t firstEntry = kL + 16;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    ReaderOutcome outcome;
    uint32_t offset;
  };
  auto patched = [&](size_t at, std::vector<uint8_t> with) {
    std::vector<uint8_t> b = good;
    std::copy(with.begin(), with.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return b;
  };
  std::vector<uint8_t> cut(good.begin(), good.end() - 1);
  std::vector<uint8_t> appended = good;
  appended.push_back(0);
  // Only the stub and a trailer, no room for a header.
  std::vector<uint8_t> noHeader(good.begin(), good.begin() + kL);
  noHeader.insert(noHeader.end(), good.end() - 4, good.end());
  Case cases[] = {
      {"cut short", cut, ReaderOutcome::CorruptArchive, static_cast<uint32_t>(cut.size() - 4)},
      {"appended", appended, ReaderOutcome::CorruptArchive, static_cast<uint32_t>(appended.size() - 4)},
      {"no header", noHeader, ReaderOutcome::CorruptArchive, kL},
      {"header magic", patched(kL, {'A', 'X'}), ReaderOutcome::CorruptArchive, kL},
      {"headerSize 17", patched(kL + 2, {17, 0}), ReaderOutcome::CorruptArchive, kL},
      {"args without name", patched(kL + 10, {5, 0}), ReaderOutcome::Ok, static_cast<uint32_t>(good.size() - 4)},
      {"follow-up past trailer", patched(kL + 8, {0xFF, 0, 0xFF, 0}), ReaderOutcome::CorruptArchive, kL + 16 + 255},
      {"entry magic", patched(firstEntry, {'F', 'M'}), ReaderOutcome::CorruptArchive, firstEntry},
      {"name length 0", patched(firstEntry + 2, {0x00, 0x80}), ReaderOutcome::CorruptArchive, firstEntry + 2},
      {"name length 600", patched(firstEntry + 2, {0x58, 0x02}), ReaderOutcome::CorruptArchive, firstEntry + 2},
      {"unsafe name", patched(firstEntry + 24, {'.', '.', '.'}), ReaderOutcome::CorruptArchive, firstEntry + 24},
      {"data past trailer", patched(firstEntry + 20, {0xFF, 0xFF, 0, 0}), ReaderOutcome::CorruptArchive,
       firstEntry + 24 + 13},
      {"more entries than present", patched(kL + 4, {3, 0}), ReaderOutcome::CorruptArchive,
       static_cast<uint32_t>(good.size() - 4)},
      {"tiny file", {1, 2, 3}, ReaderOutcome::ReadFailure, 0},
  };
  for (const Case& c : cases) {
    ParseError error = Walk(c.bytes);
    EXPECT_EQ(error.outcome, c.outcome) << c.what << ": " << error.what;
    EXPECT_EQ(error.offset, c.offset) << c.what << ": " << error.what;
  }
}

TEST(ArchiveParser, EveryTruncationIsRefusedWithoutReadingOutside) {
  const std::vector<uint8_t> good = Sample();
  for (size_t size = 0; size < good.size(); size += 7) {
    std::vector<uint8_t> prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    // Keep a trailer that matches, so the parser looks further than the trailer check.
    if (size >= 4) std::memcpy(&prefix[size - 4], &good[good.size() - 4], 4);
    ParseError error = Walk(prefix);
    EXPECT_NE(error.outcome, ReaderOutcome::Ok) << size;
  }
}
