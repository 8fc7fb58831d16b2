// A successful run writes every entry byte for byte with its stored times and
// makes exactly the caption and percent requests, in order, that the dialog shows.
#include <gtest/gtest.h>

#include "dialog_side.h"
#include "test_archives.h"

namespace {

using Requests = std::vector<ServedRequest>;

std::string Show(const Requests& requests) {
  std::string text;
  for (const ServedRequest& request : requests) text += Describe(request) + "; ";
  return text;
}

void ExpectCleanRun(const RunOutcome& run) {
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.handleDelta, 0) << "handles left open";
  EXPECT_EQ(run.heapBlockDelta, 0) << "heap blocks left allocated";
  EXPECT_FALSE(run.workerHadMessageQueue) << "the worker touched a window or a message queue";
}

class ExtractRun : public ExtractTest {};

TEST_F(ExtractRun, NestedEntriesExtractByteForByteWithTheirTimes) {
  const FileTime kCreation[] = {{0x01234567, 0x01D5A000}, {0x1E240000, 0x01C00000}, {0x7FFFFFFF, 0x01D9FFFF},
                                {0, 0x01B00000}};
  const FileTime kWrite[] = {{0x89ABCDEF, 0x01D6B000}, {0x00000010, 0x01D00001}, {0x12345678, 0x01DA0000},
                             {0x4000, 0x01D80000}};
  std::vector<ArchiveInput> entries = {
      CompressedEntry("readme.txt", SampleContent(5000, 1), kCreation[0], kWrite[0]),
      StoredEntry("bin\\tool.dat", SampleContent(70000, 2), kCreation[1], kWrite[1]),
      CompressedEntry("bin\\data\\deep\\table.bin", SampleContent(150000, 3), kCreation[2], kWrite[2]),
      StoredEntry("bin\\data\\empty.txt", "", kCreation[3], kWrite[3]),
  };
  UseArchive(entries);

  RunOutcome run = RunExtraction(DialogScript());
  ASSERT_EQ(run.result, ResultCode::Done) << Show(run.served);
  ExpectCleanRun(run);
  ASSERT_EQ(WorkerCalls().fileTimes.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string path = dest_ + entries[i].name;
    FILETIME lastAccess, lastWrite;
    ReadFileTimes(path, &lastAccess, &lastWrite);
    EXPECT_TRUE(SameTime(lastWrite, kWrite[i])) << path;
    EXPECT_TRUE(SameTime(lastAccess, kWrite[i])) << path << ": last access is the stored last-write time";
    // The file system here keeps no creation time: check what was handed over.
    const FileTimeCall& call = WorkerCalls().fileTimes[i];
    EXPECT_TRUE(SameTime(call.creation, kCreation[i])) << path;
    EXPECT_TRUE(SameTime(call.lastAccess, kWrite[i])) << path;
    EXPECT_TRUE(SameTime(call.lastWrite, kWrite[i])) << path;
    EXPECT_EQ(ReadWholeFile(path), std::string(entries[i].content.begin(), entries[i].content.end())) << path;
  }
  EXPECT_TRUE(FolderExists(dest_ + "bin\\data\\deep"));
  // The run was started the way the dialog starts it: default stack, no argument.
  EXPECT_EQ(WorkerCalls().threadStackSize, 0u);
  EXPECT_FALSE(WorkerCalls().threadArgument);
}

TEST_F(ExtractRun, ThreeEntriesMakeCaptionAndPercentRequestsInOrder) {
  UseArchive({StoredEntry("a.txt", "alpha"), CompressedEntry("sub\\b.txt", SampleContent(3000, 9)),
              StoredEntry("sub\\c.txt", "gamma")});
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  Requests expected = {CaptionRequest("a.txt"),     PercentRequest(33), CaptionRequest("sub\\b.txt"),
                       PercentRequest(67),          CaptionRequest("sub\\c.txt"), PercentRequest(100)};
  EXPECT_EQ(run.served, expected) << Show(run.served);
  ExpectCleanRun(run);
}

TEST_F(ExtractRun, EightEntriesReportRoundedPercents) {
  std::vector<ArchiveInput> entries;
  for (int i = 0; i < 8; ++i) entries.push_back(StoredEntry("f" + std::to_string(i), std::to_string(i)));
  UseArchive(entries);
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  std::vector<int32_t> percents;
  for (const ServedRequest& request : run.served)
    if (request.kind == ServedRequest::Percent) percents.push_back(request.value);
  EXPECT_EQ(percents, (std::vector<int32_t>{13, 25, 38, 50, 63, 75, 88, 100}));
}

TEST_F(ExtractRun, OneEntryReportsOnlyHundred) {
  UseArchive({StoredEntry("only.txt", "x")});
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("only.txt"), PercentRequest(100)})) << Show(run.served);
}

TEST_F(ExtractRun, NoEntriesIsDoneWithoutAnyRequestButReadsTheFollowUp) {
  ArchiveOptions options;
  options.followUpName = "setup\\install.exe";
  options.followUpArgs = "/quiet";
  UseArchive({}, options);
  lstrcpyA(g_extractStatus.FollowUpName, "stale");
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_TRUE(run.served.empty()) << Show(run.served);
  EXPECT_STREQ(g_extractStatus.FollowUpName, "setup\\install.exe");
  EXPECT_STREQ(g_extractStatus.FollowUpArgs, "/quiet");
  EXPECT_EQ(WorkerCalls().writes, 0);
  ExpectCleanRun(run);
}

TEST_F(ExtractRun, MissingDestinationFoldersAreMadeFromTheOutermost) {
  lstrcpyA(DestDir, (work_ + "new\\dest\\").c_str());
  UseArchive({StoredEntry("x\\y.txt", "why")});
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(ReadWholeFile(work_ + "new\\dest\\x\\y.txt"), "why");
}

// 0x95 0x5C is one character whose trail byte is the backslash byte.
TEST_F(ExtractRun, DoubleByteTrailBackslashIsPartOfTheFolderName) {
  const std::string folder = "\x95\x5C";  // 表
  UseArchive({StoredEntry(folder + "\\" + folder + "x\\f.txt", "dbcs")});
  RunOutcome run = RunExtraction(DialogScript());
  ASSERT_EQ(run.result, ResultCode::Done) << Show(run.served);
  EXPECT_TRUE(FolderExists(dest_ + folder));
  EXPECT_TRUE(FolderExists(dest_ + folder + "\\" + folder + "x"));
  EXPECT_EQ(ReadWholeFile(dest_ + folder + "\\" + folder + "x\\f.txt"), "dbcs");
  // Splitting at the trail byte would have made a folder named by the lead byte alone.
  EXPECT_EQ(ListFolder(dest_), std::vector<std::string>{folder});
  EXPECT_EQ(ListFolder(dest_ + folder + "\\"), std::vector<std::string>{folder + "x"});
}

TEST_F(ExtractRun, JoinedPathOfExactly259BytesIsWritten) {
  std::string name(259 - dest_.size(), 'n');
  UseArchive({StoredEntry(name, "fits")});
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done) << Show(run.served);
  EXPECT_EQ(ReadWholeFile(dest_ + name), "fits");
}

}  // namespace
