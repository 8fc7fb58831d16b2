// Abort takes effect at each of the worker's six check points and nowhere
// else: the run ends Cancelled with no message, and exactly the entries
// finished before that point stay on disk.
#include <gtest/gtest.h>

#include "dialog_side.h"
#include "test_archives.h"

namespace {

using Requests = std::vector<ServedRequest>;

class ExtractCancel : public ExtractTest {
 protected:
  void UseThreeEntries(const ArchiveOptions& options = ArchiveOptions()) {
    UseArchive({StoredEntry("a.txt", "alpha"), CompressedEntry("d\\b.txt", SampleContent(20000, 4)),
                StoredEntry("d\\c.txt", "gamma")},
               options);
  }
  static void ExpectReleased(const RunOutcome& run) {
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.handleDelta, 0);
    EXPECT_EQ(run.heapBlockDelta, 0);
  }
};

// Presses Abort when the request with this description is about to be acknowledged.
DialogScript AbortAt(const std::string& description) {
  DialogScript script;
  script.beforeAcknowledge = [description](const ServedRequest& request, size_t) {
    if (Describe(request) == description) PressAbort();
  };
  return script;
}

TEST_F(ExtractCancel, BeforeTheFirstTickStopsBeforeTheArchiveIsOpened) {  // (a)
  UseThreeEntries();
  DialogScript script;
  script.abortBeforeStart = true;
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::Cancelled);
  EXPECT_TRUE(run.served.empty());
  EXPECT_TRUE(WorkerCalls().creates.empty()) << "the archive was opened";
  EXPECT_TRUE(ListFolder(dest_).empty());
  EXPECT_FALSE(run.cancelStillRequested) << "the worker consumes the request";
  ExpectReleased(run);
}

TEST_F(ExtractCancel, RightAfterTheArchiveIsOpenedStopsBeforeAnyRead) {  // (b)
  UseThreeEntries();
  CallScript calls;
  calls.cancelAtArchiveOpen = true;
  RunOutcome run = RunExtraction(DialogScript(), calls);
  EXPECT_EQ(run.result, ResultCode::Cancelled);
  EXPECT_TRUE(run.served.empty());
  EXPECT_EQ(WorkerCalls().creates.size(), 1u);
  EXPECT_EQ(WorkerCalls().reads, 0);
  EXPECT_TRUE(ListFolder(dest_).empty());
  ExpectReleased(run);  // the archive file is closed again
}

TEST_F(ExtractCancel, AfterTheSizeCheckStopsBeforeTheHeaderIsRead) {  // (c)
  UseThreeEntries();
  CallScript calls;
  calls.cancelAtRead = kReadTrailer;
  RunOutcome run = RunExtraction(DialogScript(), calls);
  EXPECT_EQ(run.result, ResultCode::Cancelled);
  EXPECT_EQ(WorkerCalls().reads, kReadTrailer);
  EXPECT_TRUE(run.served.empty());
  ExpectReleased(run);
}

TEST_F(ExtractCancel, AfterTheHeaderStopsBeforeTheFollowUpStrings) {  // (d)
  ArchiveOptions options;
  options.followUpName = "run.exe";
  UseThreeEntries(options);
  lstrcpyA(g_extractStatus.FollowUpName, "stale");
  CallScript calls;
  calls.cancelAtRead = kReadArchiveHeader;
  RunOutcome run = RunExtraction(DialogScript(), calls);
  EXPECT_EQ(run.result, ResultCode::Cancelled);
  EXPECT_EQ(WorkerCalls().reads, kReadRecord) << "the record is checked with the header, before the check point";
  EXPECT_STREQ(g_extractStatus.FollowUpName, "stale");
  EXPECT_TRUE(run.served.empty());
  ExpectReleased(run);
}

TEST_F(ExtractCancel, BeforeTheFirstEntryAfterTheFollowUpStrings) {  // (e), first entry
  ArchiveOptions options;
  options.followUpName = "run.exe";
  UseThreeEntries(options);
  CallScript calls;
  calls.cancelAtRead = kReadFirstAfterRecord;  // the follow-up name
  RunOutcome run = RunExtraction(DialogScript(), calls);
  EXPECT_EQ(run.result, ResultCode::Cancelled);
  EXPECT_STREQ(g_extractStatus.FollowUpName, "run.exe");
  EXPECT_EQ(WorkerCalls().reads, kReadFirstAfterRecord) << "an entry header was read";
  EXPECT_TRUE(run.served.empty());
  EXPECT_TRUE(ListFolder(dest_).empty());
  ExpectReleased(run);
}

TEST_F(ExtractCancel, BeforeTheNextEntryKeepsTheFinishedOnes) {  // (e), later entry
  UseThreeEntries();
  RunOutcome run = RunExtraction(AbortAt("percent 33"));
  EXPECT_EQ(run.result, ResultCode::Cancelled);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), PercentRequest(33)}));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "alpha");
  EXPECT_FALSE(FileExists(dest_ + "d\\b.txt"));
  EXPECT_FALSE(FolderExists(dest_ + "d"));
  ExpectReleased(run);
}

TEST_F(ExtractCancel, DuringAnEntryFinishesItWithoutItsPercent) {  // (f)
  UseThreeEntries();
  RunOutcome run = RunExtraction(AbortAt("caption d\\b.txt"));
  EXPECT_EQ(run.result, ResultCode::Cancelled);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), PercentRequest(33), CaptionRequest("d\\b.txt")}));
  EXPECT_EQ(ReadWholeFile(dest_ + "d\\b.txt"), SampleContent(20000, 4));
  EXPECT_EQ(WorkerCalls().fileTimes.size(), 2u) << "the entry was finished with its times";
  EXPECT_FALSE(FileExists(dest_ + "d\\c.txt"));
  ExpectReleased(run);
}

TEST_F(ExtractCancel, AfterTheLastCheckPointTheRunIsDone) {
  UseThreeEntries();
  RunOutcome run = RunExtraction(AbortAt("percent 100"));
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_TRUE(run.cancelStillRequested) << "nobody reads the late Abort";
  EXPECT_EQ(ReadWholeFile(dest_ + "d\\c.txt"), "gamma");
}

class CancelDuringQuestion : public ExtractCancel,
                             public ::testing::WithParamInterface<int32_t> {};

// The question has no owner window, so Abort can be pressed while it is open.
TEST_P(CancelDuringQuestion, AnOverwritingAnswerWritesTheFileThenStops) {
  WriteWholeFile(dest_ + "a.txt", "old");
  UseThreeEntries();
  DialogScript script = AbortAt("alert 9 " + dest_ + "a.txt");
  script.answers = {GetParam()};
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::Cancelled);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), AlertRequest(AlertCode::AskOverwrite, dest_ + "a.txt")}));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "alpha");
  EXPECT_FALSE(FolderExists(dest_ + "d"));
  ExpectReleased(run);
}
INSTANTIATE_TEST_SUITE_P(Answers, CancelDuringQuestion, ::testing::Values(Overwrite, OverwriteAll));

TEST_F(ExtractCancel, TheAnswerAbortDuringAbortEndsAsAFailedCreate) {
  WriteWholeFile(dest_ + "a.txt", "old");
  UseThreeEntries();
  DialogScript script = AbortAt("alert 9 " + dest_ + "a.txt");
  script.answers = {Abort};
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::FailedCreate);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), AlertRequest(AlertCode::AskOverwrite, dest_ + "a.txt"),
                                  AlertRequest(AlertCode::CannotCreateFile)}));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "old");
  ExpectReleased(run);
}

}  // namespace
