// Every failure of a run is told once (one alert, or a folder alert followed
// by CannotCreateFile), is answered by its ResultCode only after the alert was
// acknowledged, leaves exactly the finished entries on disk and releases
// every handle and heap block.
#include <gtest/gtest.h>

#include "archive/stub_reader.h"
#include "dialog_side.h"
#include "test_archives.h"

namespace {

using Requests = std::vector<ServedRequest>;

class ExtractFailure : public ExtractTest {
 protected:
  std::vector<ArchiveInput> TwoEntries() {
    return {StoredEntry("a.txt", "alpha"), CompressedEntry("d\\b.txt", SampleContent(9000, 5))};
  }
  static void ExpectReleased(const RunOutcome& run) {
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.handleDelta, 0) << "handles left open";
    EXPECT_EQ(run.heapBlockDelta, 0) << "heap blocks left allocated";
    EXPECT_FALSE(run.workerHadMessageQueue);
  }
  // The first entry as the run leaves it once the second one failed.
  void ExpectFirstEntryKept() { EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "alpha"); }
  const Requests kFirstEntryDone = {CaptionRequest("a.txt"), PercentRequest(50), CaptionRequest("d\\b.txt")};
  static Requests Then(Requests requests, AlertCode alert) {
    requests.push_back(AlertRequest(alert));
    return requests;
  }
};

TEST_F(ExtractFailure, MissingLocatorResourceCannotStart) {
  OverrideArchiveSource(nullptr, 0);  // this test program carries no locator resource
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedStart);
  EXPECT_EQ(run.served, Requests{AlertRequest(AlertCode::CannotStart)});
  ExpectReleased(run);
}

TEST_F(ExtractFailure, ArchiveThatCannotBeOpenedCannotStart) {
  UseArchive(TwoEntries());
  DeleteFileA(archivePath_.c_str());
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedStart);
  EXPECT_EQ(run.served, Requests{AlertRequest(AlertCode::CannotStart)});
  EXPECT_TRUE(ListFolder(dest_).empty());
  ExpectReleased(run);
}

TEST_F(ExtractFailure, TrailerThatDiffersFromTheLocatorIsCorrupt) {
  std::vector<uint8_t> image = BuildImage(TwoEntries());
  image.push_back(0);  // the last four bytes no longer hold the locator
  UseImage(image);
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedCorrupt);
  EXPECT_EQ(run.served, Requests{AlertRequest(AlertCode::CorruptArchive)});
  EXPECT_TRUE(ListFolder(dest_).empty());
  ExpectReleased(run);
}

TEST_F(ExtractFailure, DamagedSecondEntryHeaderIsCorruptAfterTheFirstEntry) {
  std::vector<uint8_t> image = BuildImage(TwoEntries());
  size_t second = StubSize() + kArchiveHeaderSize + kEntryHeaderSize + 5 + 5;
  ASSERT_EQ(image[second], 'F');
  image[second] = 'X';
  UseImage(image);
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedCorrupt);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), PercentRequest(50),
                                  AlertRequest(AlertCode::CorruptArchive)}));
  ExpectFirstEntryKept();
  EXPECT_FALSE(FolderExists(dest_ + "d"));
  ExpectReleased(run);
}

// Reads: see ArchiveRead; then per entry: header, name, data; then the padding.
TEST_F(ExtractFailure, FailedReadsAreReadFailures) {
  struct Case { int failingRead; Requests served; bool firstKept; bool secondKept; };
  const int kEntryData = kReadFirstAfterRecord + 2;
  const int kSecondData = kEntryData + 3;
  const Case kCases[] = {
      {kReadPeOffset, {AlertRequest(AlertCode::ReadFailure)}, false, false},
      {kReadPeHeader, {AlertRequest(AlertCode::ReadFailure)}, false, false},
      {kReadTrailer, {AlertRequest(AlertCode::ReadFailure)}, false, false},
      {kReadArchiveHeader, {AlertRequest(AlertCode::ReadFailure)}, false, false},
      {kReadRecordFooter, {AlertRequest(AlertCode::ReadFailure)}, false, false},
      {kReadRecord, {AlertRequest(AlertCode::ReadFailure)}, false, false},
      {kReadFirstAfterRecord, {AlertRequest(AlertCode::ReadFailure)}, false, false},  // entry header
      {kEntryData, {CaptionRequest("a.txt"), AlertRequest(AlertCode::ReadFailure)}, false, false},
      {kSecondData, Then(kFirstEntryDone, AlertCode::ReadFailure), true, false},
      {kSecondData + 1,  // the padding in front of the record, once both files are written
       {CaptionRequest("a.txt"), PercentRequest(50), CaptionRequest("d\\b.txt"), PercentRequest(100),
        AlertRequest(AlertCode::ReadFailure)},
       true, true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("failing read " + std::to_string(c.failingRead));
    TearDown();
    SetUp();
    UseArchive(TwoEntries());
    CallScript calls;
    calls.failReadAt = c.failingRead;
    RunOutcome run = RunExtraction(DialogScript(), calls);
    EXPECT_EQ(run.result, ResultCode::FailedRead);
    EXPECT_EQ(run.served, c.served);
    EXPECT_EQ(FileExists(dest_ + "a.txt"), c.firstKept);
    EXPECT_EQ(FileExists(dest_ + "d\\b.txt"), c.secondKept) << "no file is created before its data is read";
    ExpectReleased(run);
  }
}

// Zero-filled allocations of a run: the record's buffer, then each entry's data.
TEST_F(ExtractFailure, BuffersThatCannotBeAllocatedAreOutOfMemory) {
  struct Case { const char* what; int failingAlloc; Requests served; bool firstKept; };
  const Case kCases[] = {
      {"the integrity record's buffer", 1, {AlertRequest(AlertCode::OutOfMemory)}, false},
      {"the second entry's data", 3, Then(kFirstEntryDone, AlertCode::OutOfMemory), true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    UseArchive(TwoEntries());
    CallScript calls;
    calls.failZeroedAllocAt = c.failingAlloc;
    RunOutcome run = RunExtraction(DialogScript(), calls);
    EXPECT_EQ(run.result, ResultCode::FailedMemory);
    EXPECT_EQ(run.served, c.served);
    EXPECT_EQ(FileExists(dest_ + "a.txt"), c.firstKept);
    EXPECT_FALSE(FileExists(dest_ + "d\\b.txt"));
    ExpectReleased(run);
  }
}

// The block is decoded before its file is created: with or without an
// integrity record, a block the decoder refuses leaves no empty file behind
// and an older file of that name whole.
TEST_F(ExtractFailure, RefusedBlockLeavesNoFileAndAnOlderOneWhole) {
  for (bool withRecord : {true, false}) {
    for (bool olderFile : {true, false}) {
      SCOPED_TRACE(std::string(withRecord ? "with" : "without") + " a record, " +
                   (olderFile ? "an older file" : "no older file"));
      TearDown();
      SetUp();
      std::vector<uint8_t> image = BuildImage(TwoEntries());
      PatchArchive(&image, "QZC\x1A", "QZX\x1A");
      UseImage(withRecord ? image : WithoutIntegrityRecord(image));
      if (olderFile) {
        CreateDirectoryA((dest_ + "d").c_str(), nullptr);
        WriteWholeFile(dest_ + "d\\b.txt", "older content");
      }
      SkipOverwritePrompt = 1;
      RunOutcome run = RunExtraction(DialogScript());
      EXPECT_EQ(run.result, ResultCode::FailedRead);
      EXPECT_EQ(run.served, Then(kFirstEntryDone, AlertCode::ReadFailure));
      ExpectFirstEntryKept();
      EXPECT_EQ(FileExists(dest_ + "d\\b.txt"), olderFile);
      if (olderFile) {
        EXPECT_EQ(ReadWholeFile(dest_ + "d\\b.txt"), "older content");
      }
      EXPECT_EQ(WorkerCalls().creates.size(), 2u) << "only the archive and a.txt were opened";
      EXPECT_EQ(WorkerCalls().writes, 1);
      ExpectReleased(run);
    }
  }
}

TEST_F(ExtractFailure, FailedWriteIsAWriteFailure) {
  UseArchive(TwoEntries());
  CallScript calls;
  calls.failWriteAt = 2;
  RunOutcome run = RunExtraction(DialogScript(), calls);
  EXPECT_EQ(run.result, ResultCode::FailedWrite);
  EXPECT_EQ(run.served, Then(kFirstEntryDone, AlertCode::WriteFailure));
  ExpectFirstEntryKept();
  EXPECT_EQ(ReadWholeFile(dest_ + "d\\b.txt"), "");
  ExpectReleased(run);
}

// A write that takes only part of the content is continued; when the rest
// fails, the run is a write failure that keeps the system's reason (a full
// disk) for the exit code, and what was written stays.
TEST_F(ExtractFailure, ShortWriteIsContinuedAndItsFailureKeepsTheReason) {
  UseArchive({StoredEntry("a.txt", "0123456789")});
  CallScript calls;
  calls.shortWriteAt = 1;
  RunOutcome run = RunExtraction(DialogScript(), calls);
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "0123456789");

  calls.failWriteAt = 2;
  g_extractStatus.WriteError = 0;
  DeleteFileA((dest_ + "a.txt").c_str());
  run = RunExtraction(DialogScript(), calls);
  EXPECT_EQ(run.result, ResultCode::FailedWrite);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), AlertRequest(AlertCode::WriteFailure)}));
  EXPECT_EQ(g_extractStatus.WriteError, static_cast<uint32_t>(ERROR_DISK_FULL));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "01234") << "what the write call put there stays";
  ExpectReleased(run);
}

TEST_F(ExtractFailure, FolderBlockedByAFileTellsBothMessages) {
  WriteWholeFile(dest_ + "d", "a file where a folder is needed");
  UseArchive(TwoEntries());
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedCreate);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), PercentRequest(50), CaptionRequest("d\\b.txt"),
                                  AlertRequest(AlertCode::FileBlocksFolder),
                                  AlertRequest(AlertCode::CannotCreateFile)}));
  EXPECT_EQ(ReadWholeFile(dest_ + "d"), "a file where a folder is needed");
  ExpectFirstEntryKept();
  ExpectReleased(run);
}

TEST_F(ExtractFailure, FolderThatCannotBeMadeTellsBothMessagesAndKeepsOuterFolders) {
  std::vector<uint8_t> image = BuildImage({StoredEntry("outer\\inX\\f.txt", "f")});
  PatchArchive(&image, "inX", "in|");  // a name the file system refuses
  UseImage(WithoutIntegrityRecord(image));  // whose record would refuse the changed name
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedCreate);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("outer\\in|\\f.txt"), AlertRequest(AlertCode::CannotCreateFolder),
                                  AlertRequest(AlertCode::CannotCreateFile)}));
  EXPECT_TRUE(FolderExists(dest_ + "outer")) << "folders made before the failure stay";
  ExpectReleased(run);
}

TEST_F(ExtractFailure, FolderWhereTheFileShouldBeFailsTheCreate) {
  CreateDirectoryA((dest_ + "a.txt").c_str(), nullptr);
  UseArchive(TwoEntries());
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedCreate);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), AlertRequest(AlertCode::CannotCreateFile)}));
  EXPECT_TRUE(FolderExists(dest_ + "a.txt"));
  ExpectReleased(run);
}

TEST_F(ExtractFailure, JoinedPathLongerThan259BytesIsAFailedCreateNotAnOverflow) {
  std::string name(260 - dest_.size(), 'n');
  UseArchive({StoredEntry(name, "too long")});
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedCreate);
  EXPECT_EQ(run.served, (Requests{CaptionRequest(name), AlertRequest(AlertCode::CannotCreateFile)}));
  EXPECT_EQ(WorkerCalls().creates.size(), 1u) << "only the archive was opened";
  EXPECT_TRUE(ListFolder(dest_).empty());
  ExpectReleased(run);
}

TEST_F(ExtractFailure, LongestEntryNameWithLongestDestinationStaysInBounds) {
  std::string name(kMaxNameLength, 'n');
  for (size_t i = 100; i < name.size(); i += 100) name[i] = '\\';
  UseArchive({StoredEntry(name, "x")});
  std::string longDest = "C:\\" + std::string(255, 'L') + "\\";  // 259 bytes of text
  lstrcpyA(DestDir, longDest.c_str());
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::FailedCreate);
  EXPECT_EQ(run.served, (Requests{CaptionRequest(name), AlertRequest(AlertCode::CannotCreateFile)}));
  EXPECT_STREQ(DestDir, longDest.c_str());
  ExpectReleased(run);
}

}  // namespace
