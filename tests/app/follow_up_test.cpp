// Protects the hand-off to the follow-up program: the exact command line it
// receives (quoted pieces, nothing added, nothing cut), its current folder,
// and that the launcher returns only after the program has ended.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/follow_up.h"
#include "command_line_compose.h"
#include "ui/module_instance.h"
#include "extract/extract_status.h"

namespace {

// --- Real launches under Wine of the recorder program ---

// Copies a program whose own path may be longer than the ANSI calls accept.
bool CopyProgram(const std::string& from, const std::string& to) {
  std::wstring longFrom = L"\\\\?\\";
  for (char c : from) longFrom += static_cast<wchar_t>(static_cast<unsigned char>(c));
  std::wstring wideTo(to.begin(), to.end());
  return CopyFileW(longFrom.c_str(), wideTo.c_str(), FALSE) != 0;
}

struct Record {
  bool exists = false;
  std::string commandLine, directory;
  bool ended = false;
};

class FollowUpLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SaveAppInstance(GetModuleHandleA(nullptr));
    GetModuleFileNameA(nullptr, programPath, sizeof programPath);
    std::string here = programPath;
    here.resize(here.rfind('\\') + 1);
    consoleRecorder = here + "followup_recorder.exe";
    guiRecorder = here + "followup_recorder_gui.exe";

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    destination = std::string(temp) + "kaito follow up " + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(destination.c_str(), nullptr);
    CreateDirectoryA((destination + "SUB").c_str(), nullptr);
    ASSERT_TRUE(CopyProgram(consoleRecorder, destination + "SETUP.EXE"));
    ASSERT_TRUE(CopyProgram(consoleRecorder, destination + "SUB\\SETUP.EXE"));
    ASSERT_TRUE(CopyProgram(guiRecorder, destination + "WINDOWED.EXE"));

    strcpy(DestDir, destination.c_str());
    g_extractStatus.Result.store(static_cast<int32_t>(ResultCode::Done));
    SetFollowUp("SETUP.EXE", "");
  }
  void TearDown() override {
    for (const char* file : {"followup-record.txt", "SETUP.EXE", "WINDOWED.EXE",
                             "SUB\\SETUP.EXE", "SUB\\followup-record.txt"}) {
      DeleteFileA((destination + file).c_str());
    }
    RemoveDirectoryA((destination + "SUB").c_str());
    RemoveDirectoryA(destination.c_str());
  }

  void SetFollowUp(const char* name, const char* args) {
    strcpy(g_extractStatus.FollowUpName, name);
    strcpy(g_extractStatus.FollowUpArgs, args);
  }
  std::string Expected() const {
    return Compose(DestDir, g_extractStatus.FollowUpName, programPath, g_extractStatus.FollowUpArgs);
  }
  Record ReadRecord(const std::string& folder) const {
    Record record;
    std::ifstream in(folder + "followup-record.txt", std::ios::binary);
    record.exists = static_cast<bool>(in);
    std::string end;
    std::getline(in, record.commandLine);
    std::getline(in, record.directory);
    std::getline(in, end);
    record.ended = end == "end";
    if (record.directory.empty() || record.directory.back() != '\\') record.directory += '\\';
    return record;
  }

  // The launch as the run sequence makes it, without extra arguments.
  bool Launch() {
    exitCode = 0;
    return LaunchFollowUp("", false, &exitCode);
  }

  char programPath[kProgramPathBufferSize] = {};
  std::string consoleRecorder, guiRecorder, destination;
  uint32_t exitCode = 0;
};

TEST_F(FollowUpLaunchTest, ChildGetsTheCommandLineAndStartsInDestDir) {
  SetFollowUp("SETUP.EXE", "-s");
  ASSERT_TRUE(Launch());
  Record record = ReadRecord(destination);
  ASSERT_TRUE(record.exists);
  EXPECT_EQ(record.commandLine, Expected());
  EXPECT_EQ(record.commandLine.find("\"" + destination + "SETUP.EXE\" /vrek:\"" + programPath + "\" -s"), 0u);
  EXPECT_EQ(record.directory, destination);
  EXPECT_TRUE(record.ended);

  SetFollowUp("SETUP.EXE", "");
  ASSERT_TRUE(Launch());
  record = ReadRecord(destination);
  EXPECT_EQ(record.commandLine, Expected());
  EXPECT_EQ(record.commandLine.back(), '"') << "no trailing space without arguments";
}

TEST_F(FollowUpLaunchTest, ProgramInSubfolderRunsInDestDir) {
  SetFollowUp("SUB\\SETUP.EXE", "/x");
  ASSERT_TRUE(Launch());
  Record record = ReadRecord(destination);
  ASSERT_TRUE(record.exists) << "the record lands in the current folder, DestDir";
  EXPECT_FALSE(ReadRecord(destination + "SUB\\").exists);
  EXPECT_EQ(record.commandLine, Expected());
  EXPECT_EQ(record.directory, destination);
}

// Paths of the Win32 API are capped near 260 characters, so only the running
// program's own path can carry the line past the 791-character buffer: CTest
// runs this case once more from a copy in a deep folder.
TEST_F(FollowUpLaunchTest, LongCommandLineIsPassedWhole) {
  if (strlen(programPath) < 300) GTEST_SKIP() << "needs a copy of this program in a deep folder";
  std::string args = "-a ";
  args.append(kMaxFollowUpLength - args.size(), 'x');
  SetFollowUp("SUB\\SETUP.EXE", args.c_str());
  size_t length = Expected().size();
  ASSERT_GT(length, kFollowUpCommandLineSize - 1);

  ASSERT_TRUE(Launch());
  Record record = ReadRecord(destination);
  EXPECT_EQ(record.commandLine, Expected());
  EXPECT_EQ(record.commandLine.size(), length);
  EXPECT_EQ(record.directory, destination);
}

TEST_F(FollowUpLaunchTest, LauncherWaitsUntilTheProgramHasEnded) {
  for (const char* program : {"SETUP.EXE", "WINDOWED.EXE"}) {
    SCOPED_TRACE(program);
    DeleteFileA((destination + "followup-record.txt").c_str());
    SetFollowUp(program, "--sleep=1500");
    ASSERT_TRUE(Launch());
    Record record = ReadRecord(destination);
    ASSERT_TRUE(record.exists);
    EXPECT_TRUE(record.ended) << "returned while the program was still running";
  }
}

DWORD WINAPI LaunchOnThisThread(void*) {
  uint32_t exitCode = 0;
  return LaunchFollowUp("", false, &exitCode) ? 1 : 0;
}

// The launcher sleeps on the program's handle: it is still waiting while the
// program waits for the test's signal, and returns once the program has ended.
TEST_F(FollowUpLaunchTest, WaitEndsWhenTheProgramEnds) {
  const std::string eventName = "kaito-follow-up-release-" + std::to_string(GetCurrentProcessId());
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  ASSERT_NE(release, nullptr);
  SetFollowUp("SETUP.EXE", ("--wait-event=" + eventName).c_str());
  HANDLE launcher = CreateThread(nullptr, 0, LaunchOnThisThread, nullptr, 0, nullptr);
  ASSERT_NE(launcher, nullptr);

  // The program has started once its record names its folder.
  bool started = false;
  for (int attempt = 0; attempt < 600 && !started; ++attempt) {
    started = !ReadRecord(destination).directory.empty() && ReadRecord(destination).directory != "\\";
    if (!started) Sleep(100);
  }
  ASSERT_TRUE(started) << "the program never started";
  EXPECT_EQ(WaitForSingleObject(launcher, 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "returned while the program was still running";

  SetEvent(release);
  ASSERT_EQ(WaitForSingleObject(launcher, 60000), WAIT_OBJECT_0) << "the wait did not end with the program";
  DWORD launched = 0;
  GetExitCodeThread(launcher, &launched);
  EXPECT_EQ(launched, 1u);
  EXPECT_TRUE(ReadRecord(destination).ended);
  CloseHandle(launcher);
  CloseHandle(release);
}

TEST_F(FollowUpLaunchTest, NothingIsStartedUnlessDoneWithAName) {
  SetFollowUp("SETUP.EXE", "");
  for (ResultCode result : {ResultCode::Running, ResultCode::Cancelled, ResultCode::FailedWrite}) {
    g_extractStatus.Result.store(static_cast<int32_t>(result));
    EXPECT_FALSE(Launch());
  }
  g_extractStatus.Result.store(static_cast<int32_t>(ResultCode::Done));
  SetFollowUp("", "-s");
  EXPECT_FALSE(Launch());
  EXPECT_FALSE(ReadRecord(destination).exists);
}

// A start that fails reports the system's reason as the exit code.
TEST_F(FollowUpLaunchTest, ProgramThatCannotStartReturnsAtOnce) {
  SetFollowUp("MISSING.EXE", "-s");
  EXPECT_FALSE(Launch());
  EXPECT_EQ(exitCode, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  SetFollowUp("SUB", "");  // a folder, not a program
  EXPECT_FALSE(Launch());
  EXPECT_NE(exitCode, 0u);
  EXPECT_FALSE(ReadRecord(destination).exists);
}

}  // namespace
