// A file that carries an integrity record is checked piece by piece as it is
// extracted: any change to the header, the follow-up strings, an entry's
// header, name or content, or to the record itself ends the run with the
// corrupt-archive alert before a damaged file is written or an older one
// truncated.  A file without a record extracts as it always did.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive/block/block_decoder.h"
#include "archive/integrity_record.h"
#include "dialog_side.h"
#include "test_archives.h"

namespace {

using Requests = std::vector<ServedRequest>;

class ExtractIntegrity : public ExtractTest {
 protected:
  std::vector<ArchiveInput> TwoEntries() {
    return {StoredEntry("a.txt", "alpha"), CompressedEntry("d\\b.txt", SampleContent(9000, 5))};
  }
  ArchiveOptions WithFollowUp() {
    ArchiveOptions options;
    options.followUpName = "setup.exe";
    options.followUpArgs = "/quiet";
    return options;
  }
  // Runs the image and expects the corrupt-archive alert after `served`, the
  // run's end FailedCorrupt and everything released.
  RunOutcome ExpectCorrupt(const std::vector<uint8_t>& image, Requests served) {
    UseImage(image);
    RunOutcome run = RunExtraction(DialogScript());
    served.push_back(AlertRequest(AlertCode::CorruptArchive));
    EXPECT_EQ(run.result, ResultCode::FailedCorrupt);
    EXPECT_EQ(run.served, served);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.handleDelta, 0) << "handles left open";
    EXPECT_EQ(run.heapBlockDelta, 0) << "heap blocks left allocated (the record's buffer?)";
    return run;
  }
  // Offset of the first entry's header in an image without follow-up strings.
  size_t FirstEntry() const { return StubSize() + kArchiveHeaderSize; }
  const Requests kFirstEntryDone = {CaptionRequest("a.txt"), PercentRequest(50), CaptionRequest("d\\b.txt")};
};

TEST_F(ExtractIntegrity, IntactFileWithARecordExtracts) {
  std::vector<uint8_t> image = BuildImage(TwoEntries(), WithFollowUp());
  ASSERT_EQ(image.size() % 8, 0u) << "the writer pads the file for a signing tool";
  UseImage(image);
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(ReadWholeFile(dest_ + "d\\b.txt"), SampleContent(9000, 5));
  EXPECT_STREQ(g_extractStatus.FollowUpArgs, "/quiet");
  EXPECT_EQ(run.heapBlockDelta, 0);
}

TEST_F(ExtractIntegrity, FileWithoutARecordExtractsAsBefore) {
  std::vector<uint8_t> bare = WithoutIntegrityRecord(BuildImage(TwoEntries(), WithFollowUp()));
  UseImage(bare);
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), PercentRequest(50), CaptionRequest("d\\b.txt"),
                                  PercentRequest(100)}));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "alpha");
  EXPECT_EQ(ReadWholeFile(dest_ + "d\\b.txt"), SampleContent(9000, 5));
  EXPECT_STREQ(g_extractStatus.FollowUpName, "setup.exe");
  // Where a footer would be, no marker: nothing more of the record is read,
  // nor anything behind the last entry.
  EXPECT_EQ(WorkerCalls().reads, kReadRecordFooter + 2 + 2 * 3);
}

TEST_F(ExtractIntegrity, ChangedHeaderOrFollowUpStringIsCorruptBeforeAnyEntry) {
  struct Case { const char* what; std::string from, to; };
  const Case kCases[] = {
      {"follow-up name", "setup.exe", "setuq.exe"},
      {"follow-up arguments", "/quiet", "/quidt"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> image = BuildImage(TwoEntries(), WithFollowUp());
    PatchArchive(&image, c.from, c.to);
    ExpectCorrupt(image, {});
    EXPECT_TRUE(ListFolder(dest_).empty());
  }
  // requiredSize: a field that no other check reads.
  std::vector<uint8_t> image = BuildImage(TwoEntries(), WithFollowUp());
  image[StubSize() + 12] ^= 0x01;
  ExpectCorrupt(image, {});
  EXPECT_TRUE(ListFolder(dest_).empty());
}

TEST_F(ExtractIntegrity, ChangedEntryHeaderOrNameIsCorruptBeforeItsFileExists) {
  size_t second = FirstEntry() + kEntryHeaderSize + 5 + 5;
  struct Case { const char* what; size_t offset; uint8_t flip; Requests served; };
  const Case kCases[] = {
      {"creation time", FirstEntry() + 4, 0x10, {}},
      {"last-write time", FirstEntry() + 12, 0x01, {}},
      {"stored flag", FirstEntry() + 3, 0x80, {}},
      {"second entry's name", second + kEntryHeaderSize + 2, 'b' ^ 'x', {CaptionRequest("a.txt"), PercentRequest(50)}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    CreateDirectoryA((dest_ + "d").c_str(), nullptr);
    WriteWholeFile(dest_ + "d\\x.txt", "older content");
    std::vector<uint8_t> image = BuildImage(TwoEntries());
    image[c.offset] ^= c.flip;
    ExpectCorrupt(image, c.served);
    EXPECT_EQ(FileExists(dest_ + "a.txt"), !c.served.empty());
    EXPECT_EQ(ReadWholeFile(dest_ + "d\\x.txt"), "older content") << "the file named by the changed name is kept";
    EXPECT_EQ(ListFolder(dest_ + "d\\"), std::vector<std::string>{"x.txt"});
  }
}

TEST_F(ExtractIntegrity, ChangedStoredContentIsCorruptAndTheOlderFileStays) {
  WriteWholeFile(dest_ + "a.txt", "older content");
  SkipOverwritePrompt = 1;
  std::vector<uint8_t> image = BuildImage(TwoEntries());
  PatchArchive(&image, "alpha", "alphb");
  ExpectCorrupt(image, {CaptionRequest("a.txt")});
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "older content");
  EXPECT_EQ(WorkerCalls().writes, 0);
  EXPECT_EQ(WorkerCalls().creates.size(), 1u) << "only the archive was opened";
}

// A change inside a compressed block that still decodes, to other bytes: only
// the content checksum can tell.
TEST_F(ExtractIntegrity, BlockThatDecodesToOtherBytesIsCorrupt) {
  const std::string content = SampleContent(3000, 9);
  std::vector<uint8_t> image = BuildImage({CompressedEntry("b.txt", content)});
  size_t data = FirstEntry() + kEntryHeaderSize + 5;
  uint32_t blockSize = LoadU32(image.data() + FirstEntry() + 20);
  bool found = false;
  for (size_t at = data + kBlockHeaderSize; at < data + blockSize && !found; ++at) {
    for (int bit = 0; bit < 8 && !found; ++bit) {
      std::vector<uint8_t> block(image.begin() + static_cast<std::ptrdiff_t>(data),
                                 image.begin() + static_cast<std::ptrdiff_t>(data + blockSize));
      block[at - data] ^= static_cast<uint8_t>(1 << bit);
      uint8_t* out = nullptr;
      uint32_t size = 0;
      if (DecodeBlock(block.data(), blockSize, &out, &size, nullptr, 0) == DecodeOk) {
        found = size != content.size() || !std::equal(out, out + size, content.begin(), content.end(),
                                                      [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
        if (found) image[at] ^= static_cast<uint8_t>(1 << bit);
      }
      FreeBlock(out);
    }
  }
  ASSERT_TRUE(found) << "no single bit change of the block decodes to other bytes";
  WriteWholeFile(dest_ + "b.txt", "older content");
  SkipOverwritePrompt = 1;
  ExpectCorrupt(image, {CaptionRequest("b.txt")});
  EXPECT_EQ(ReadWholeFile(dest_ + "b.txt"), "older content");
  EXPECT_EQ(WorkerCalls().writes, 0);
}

// Every field of the record is covered by the reader's tests; here, that the
// worker stops before any entry.
TEST_F(ExtractIntegrity, DamagedRecordIsCorruptBeforeAnyEntry) {
  std::vector<uint8_t> image = BuildImage(TwoEntries());
  image[FindRecord(image).recordStart + 5] ^= 0x04;  // an entry check: the record's own checksum fails
  ExpectCorrupt(image, {});
  EXPECT_TRUE(ListFolder(dest_).empty());
}

// After the last entry the worker checks that the entries end where the
// record's padding begins: here the record says one byte of padding less.
TEST_F(ExtractIntegrity, EntriesThatDoNotEndWhereTheRecordBeginsAreCorrupt) {
  std::vector<uint8_t> image;
  for (size_t extra = 0; extra < 8; ++extra) {
    image = BuildImage({StoredEntry("a.txt", "alpha"), StoredEntry("b.txt", std::string(10 + extra, 'b'))});
    RecordPlace place = FindRecord(image);
    if (place.recordStart > place.entriesEnd) break;
  }
  RecordPlace place = FindRecord(image);
  ASSERT_GT(place.recordStart, place.entriesEnd) << "no content length left padding";
  image[place.footer + 12] -= 1;
  ResealIntegrityRecord(&image);
  ExpectCorrupt(image, {CaptionRequest("a.txt"), PercentRequest(50), CaptionRequest("b.txt"), PercentRequest(100)});
}

}  // namespace
