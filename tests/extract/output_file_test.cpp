// Output files are created the agreed way: every folder on the path examined
// from the outermost in and made when missing, an existing file replaced only
// as the overwrite policy says (and untouched after Abort), a read-only file
// made writable first, and both opens done with the agreed access and sharing.
#include <gtest/gtest.h>

#include "dialog_side.h"
#include "test_archives.h"

namespace {

using Requests = std::vector<ServedRequest>;

class OutputFile : public ExtractTest {
 protected:
  void UseThreeEntries() {
    UseArchive({StoredEntry("a.txt", "new a"), StoredEntry("b.txt", "new b"), StoredEntry("c.txt", "new c")});
  }
  static std::string Trimmed(const std::string& folder) { return folder.substr(0, folder.size() - 1); }
};

TEST_F(OutputFile, FoldersAreExaminedOutermostFirstAndOnlyMissingOnesMade) {
  lstrcpyA(DestDir, (work_ + "new\\").c_str());
  UseArchive({StoredEntry("x\\sub\\a.dat", "1"), StoredEntry("x\\sub\\b.dat", "2")});
  RunOutcome run = RunExtraction(DialogScript());
  ASSERT_EQ(run.result, ResultCode::Done);
  // Every folder behind the drive's root, once: the second file lies in the
  // folders the first one made sure of.  The root never.
  std::vector<std::string> walk;
  std::string path = work_ + "new\\x\\sub\\";
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
    walk.push_back(path.substr(0, at));
  EXPECT_EQ(WorkerCalls().folderLookups, walk);
  EXPECT_EQ(WorkerCalls().folderCreates,
            (std::vector<std::string>{work_ + "new", work_ + "new\\x", work_ + "new\\x\\sub"}));
}

TEST_F(OutputFile, OnlyFoldersBelowThoseOfThePreviousFileAreExamined) {
  lstrcpyA(DestDir, (work_ + "d\\").c_str());
  UseArchive({StoredEntry("x\\a.dat", "1"), StoredEntry("x\\y\\b.dat", "2"), StoredEntry("z\\c.dat", "3")});
  RunOutcome run = RunExtraction(DialogScript());
  ASSERT_EQ(run.result, ResultCode::Done);
  std::string d = work_ + "d";
  std::vector<std::string> expected;
  for (size_t at = d.find('\\', 3); at != std::string::npos; at = d.find('\\', at + 1))
    expected.push_back(d.substr(0, at));
  expected.insert(expected.end(), {d, d + "\\x", d + "\\x\\y"});
  // z is not below x\y: its path is walked from the root again.
  for (size_t at = d.find('\\', 3); at != std::string::npos; at = d.find('\\', at + 1))
    expected.push_back(d.substr(0, at));
  expected.insert(expected.end(), {d, d + "\\z"});
  EXPECT_EQ(WorkerCalls().folderLookups, expected);
  EXPECT_EQ(ReadWholeFile(d + "\\z\\c.dat"), "3");
}

TEST_F(OutputFile, FolderRemovedDuringTheRunIsMadeAgain) {
  lstrcpyA(DestDir, (work_ + "d\\").c_str());
  UseArchive({StoredEntry("x\\a.dat", "1")});
  ASSERT_EQ(RunExtraction(DialogScript()).result, ResultCode::Done);
  // The same folder again, removed in between: the failed create walks the
  // whole path once more and makes it.
  ASSERT_TRUE(DeleteFileA((work_ + "d\\x\\a.dat").c_str()));
  ASSERT_TRUE(RemoveDirectoryA((work_ + "d\\x").c_str()));
  UseArchive({StoredEntry("x\\b.dat", "2")});
  RunOutcome again = RunExtraction(DialogScript());
  EXPECT_EQ(again.result, ResultCode::Done);
  EXPECT_EQ(ReadWholeFile(work_ + "d\\x\\b.dat"), "2");
  EXPECT_EQ(WorkerCalls().folderCreates, (std::vector<std::string>{work_ + "d\\x"}));
}

TEST_F(OutputFile, FileInADriveRootExaminesNoFolder) {
  const std::string path = "C:\\kaito-extract-root-test.txt";
  lstrcpyA(DestDir, "C:\\");
  UseArchive({StoredEntry("kaito-extract-root-test.txt", "root")});
  RunOutcome run = RunExtraction(DialogScript());
  std::string content = ReadWholeFile(path);
  DeleteFileA(path.c_str());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(content, "root");
  EXPECT_TRUE(WorkerCalls().folderLookups.empty());
}

// A relative destination of one character gives a path with no backslash at
// or after its third byte: no folder is examined and the create is attempted.
TEST_F(OutputFile, PathWithoutAWalkStartIsCreatedWithoutExaminingFolders) {
  char previous[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(work_.c_str()));
  lstrcpyA(DestDir, "x\\");
  UseArchive({StoredEntry("f.txt", "relative")});

  RunOutcome missing = RunExtraction(DialogScript());  // folder x does not exist
  EXPECT_EQ(missing.result, ResultCode::FailedCreate);
  EXPECT_EQ(missing.served, (Requests{CaptionRequest("f.txt"), AlertRequest(AlertCode::CannotCreateFile)}));
  EXPECT_TRUE(WorkerCalls().folderLookups.empty());
  EXPECT_FALSE(FolderExists(work_ + "x"));

  CreateDirectoryA((work_ + "x").c_str(), nullptr);
  RunOutcome present = RunExtraction(DialogScript());
  EXPECT_EQ(present.result, ResultCode::Done);
  EXPECT_TRUE(WorkerCalls().folderLookups.empty());
  EXPECT_EQ(ReadWholeFile(work_ + "x\\f.txt"), "relative");
  SetCurrentDirectoryA(previous);
}

TEST_F(OutputFile, OverwriteAsksAgainForTheNextFile) {
  WriteWholeFile(dest_ + "a.txt", "old a");
  WriteWholeFile(dest_ + "b.txt", "old b");
  UseThreeEntries();
  DialogScript script;
  script.answers = {Overwrite, Overwrite};
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), AlertRequest(AlertCode::AskOverwrite, dest_ + "a.txt"),
                                  PercentRequest(33), CaptionRequest("b.txt"),
                                  AlertRequest(AlertCode::AskOverwrite, dest_ + "b.txt"), PercentRequest(67),
                                  CaptionRequest("c.txt"), PercentRequest(100)}));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "new a");
  EXPECT_EQ(ReadWholeFile(dest_ + "b.txt"), "new b");
  EXPECT_EQ(SkipOverwritePrompt, 0);
}

TEST_F(OutputFile, ProbeAndCreateUseTheAgreedAccessAndSharing) {
  WriteWholeFile(dest_ + "a.txt", "old a");
  UseArchive({StoredEntry("a.txt", "new a")});
  bool heldDuringQuestion = false;
  DialogScript script;
  script.beforeAcknowledge = [&](const ServedRequest& request, size_t) {
    if (request.kind != ServedRequest::Alert) return;
    HANDLE other = CreateFileA((dest_ + "a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    heldDuringQuestion = other == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  };
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_TRUE(heldDuringQuestion) << "the existing file stays open, unshared, while the question is shown";
  const std::vector<CreateFileCall>& creates = WorkerCalls().creates;
  ASSERT_EQ(creates.size(), 4u);  // archive, create as new, probe, create
  EXPECT_EQ(creates[1].disposition, static_cast<DWORD>(CREATE_NEW));
  EXPECT_FALSE(creates[1].succeeded) << "the name is taken";
  EXPECT_EQ(creates[2].path, dest_ + "a.txt");
  EXPECT_EQ(creates[2].access, static_cast<DWORD>(GENERIC_READ));
  EXPECT_EQ(creates[2].share, 0u);
  EXPECT_EQ(creates[2].disposition, static_cast<DWORD>(OPEN_EXISTING));
  EXPECT_TRUE(creates[2].inheritable);
  EXPECT_EQ(creates[3].access, static_cast<DWORD>(GENERIC_WRITE));
  EXPECT_EQ(creates[3].share, 0u);
  EXPECT_EQ(creates[3].disposition, static_cast<DWORD>(CREATE_ALWAYS));
  EXPECT_TRUE(creates[3].inheritable);
  EXPECT_EQ(run.handleDelta, 0);
}

// A free name is opened once: no probe and no attribute read, each of which
// would look the missing name up again (under Wine, a read of the folder).
TEST_F(OutputFile, NewFileIsOpenedOnceAsNewWithTheAgreedAccessAndSharing) {
  UseArchive({StoredEntry("a.txt", "new a")});
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "new a");
  const std::vector<CreateFileCall>& creates = WorkerCalls().creates;
  ASSERT_EQ(creates.size(), 2u);  // archive, the new file
  EXPECT_EQ(creates[1].path, dest_ + "a.txt");
  EXPECT_EQ(creates[1].access, static_cast<DWORD>(GENERIC_WRITE));
  EXPECT_EQ(creates[1].share, 0u);
  EXPECT_EQ(creates[1].disposition, static_cast<DWORD>(CREATE_NEW));
  EXPECT_TRUE(creates[1].inheritable);
  EXPECT_TRUE(creates[1].succeeded);
}

TEST_F(OutputFile, OverwriteAllAsksOnceForTheWholeRun) {
  WriteWholeFile(dest_ + "a.txt", "old a");
  WriteWholeFile(dest_ + "b.txt", "old b");
  WriteWholeFile(dest_ + "c.txt", "old c");
  SetFileAttributesA((dest_ + "c.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  UseThreeEntries();
  DialogScript script;
  script.answers = {OverwriteAll, Abort, Abort};  // later answers would stop the run if asked
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::Done);
  size_t questions = 0;
  for (const ServedRequest& request : run.served)
    questions += request.kind == ServedRequest::Alert ? 1 : 0;
  EXPECT_EQ(questions, 1u);
  EXPECT_EQ(SkipOverwritePrompt, 1);
  EXPECT_EQ(ReadWholeFile(dest_ + "b.txt"), "new b");
  EXPECT_EQ(ReadWholeFile(dest_ + "c.txt"), "new c");
  EXPECT_EQ(Attributes(dest_ + "c.txt") & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(OutputFile, SkipOverwritePromptReplacesReadOnlyFilesWithoutAsking) {
  WriteWholeFile(dest_ + "a.txt", "old a");
  SetFileAttributesA((dest_ + "a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SkipOverwritePrompt = 1;
  UseArchive({StoredEntry("a.txt", "new a")});
  RunOutcome run = RunExtraction(DialogScript());
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), PercentRequest(100)}));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "new a");
  EXPECT_EQ(Attributes(dest_ + "a.txt") & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(OutputFile, AnswerAbortLeavesTheFileAndItsAttributesAlone) {
  WriteWholeFile(dest_ + "a.txt", "old a");
  SetFileAttributesA((dest_ + "a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  UseThreeEntries();
  DialogScript script;
  script.answers = {Abort};
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::FailedCreate);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), AlertRequest(AlertCode::AskOverwrite, dest_ + "a.txt"),
                                  AlertRequest(AlertCode::CannotCreateFile)}));
  EXPECT_EQ(Attributes(dest_ + "a.txt") & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "old a");
  EXPECT_FALSE(FileExists(dest_ + "b.txt"));
  EXPECT_EQ(run.handleDelta, 0);
}

TEST_F(OutputFile, AnswerFromAQuestionThatFailedToAppearOverwrites) {
  WriteWholeFile(dest_ + "a.txt", "old a");
  UseArchive({StoredEntry("a.txt", "new a")});
  DialogScript script;
  script.answers = {-1};
  RunOutcome run = RunExtraction(script);
  EXPECT_EQ(run.result, ResultCode::Done);
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "new a");
  EXPECT_EQ(SkipOverwritePrompt, 0);
}

TEST_F(OutputFile, FileHeldOpenElsewhereIsNotAskedAboutButCreateIsAttempted) {
  WriteWholeFile(dest_ + "a.txt", "old a");
  HANDLE holder = CreateFileA((dest_ + "a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  UseArchive({StoredEntry("a.txt", "new a")});
  RunOutcome run = RunExtraction(DialogScript());
  CloseHandle(holder);
  EXPECT_EQ(run.result, ResultCode::FailedCreate);
  EXPECT_EQ(run.served, (Requests{CaptionRequest("a.txt"), AlertRequest(AlertCode::CannotCreateFile)}));
  const std::vector<CreateFileCall>& creates = WorkerCalls().creates;
  ASSERT_EQ(creates.size(), 4u);  // archive, create as new, probe, create
  EXPECT_FALSE(creates[2].succeeded) << "the probe cannot open a file held open elsewhere";
  EXPECT_EQ(creates[3].path, dest_ + "a.txt");
  EXPECT_EQ(creates[3].disposition, static_cast<DWORD>(CREATE_ALWAYS));
  EXPECT_EQ(ReadWholeFile(dest_ + "a.txt"), "old a");
}

}  // namespace
