// A real program with its own locator resource finds the archive appended to
// a copy of itself once the resource holds the archive's offset, through the
// unmodified LocateArchive and ReadArchiveSummary, and refuses the copy when
// resource and trailer disagree.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive/reader_outcome.h"
#include "archive_bytes.h"
#include "win_test_files.h"

namespace {

// The value locator_child.rc puts in the child's VAL resource.
constexpr uint8_t kMarker[4] = {0x2A, 0x3C, 0x1D, 0x4B};
constexpr DWORD kAutomaticFlag = 0x10000000;

std::string ChildProgramPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string own(path, length);
  return own.substr(0, own.find_last_of('\\') + 1) + "locator_child.exe";
}

// Runs the program with the arguments and answers its exit code.
DWORD RunChild(const char* program, const std::string& arguments) {
  std::string commandLine = "\"" + std::string(program) + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << program << ": error " << GetLastError();
    return 0xFFFFFFFF;
  }
  DWORD exitCode = 0xFFFFFFFE;
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

// The child's bytes with the marker's offset; fails the test unless the
// marker occurs exactly once.
std::vector<uint8_t> ChildImage(size_t* markerOffset) {
  std::vector<uint8_t> image = ReadWholeFile(ChildProgramPath().c_str());
  EXPECT_GT(image.size(), 1000u);
  auto found = std::search(image.begin(), image.end(), kMarker, kMarker + 4);
  EXPECT_NE(found, image.end()) << "marker not found";
  *markerOffset = static_cast<size_t>(found - image.begin());
  if (found != image.end()) {
    EXPECT_EQ(std::search(found + 1, image.end(), kMarker, kMarker + 4), image.end()) << "marker not unique";
  }
  return image;
}

ArchiveBytes AppendArchive(const std::vector<uint8_t>& image) {
  ArchiveBytes a(image);
  a.Header(ArchiveBytes::MakeHeader(2, 4242, 2)).Entry({"readme.txt", "hello"}).Entry({"dir\\b.bin", "abc"}).Trailer();
  return a;
}

}  // namespace

TEST(LocatorChild, PatchedCopyFindsItsOwnArchive) {
  size_t marker = 0;
  std::vector<uint8_t> image = ChildImage(&marker);
  ArchiveBytes a = AppendArchive(image);
  StoreU32(a.bytes().data() + marker, a.locator());
  TempFile copy("child_patched.exe", a.bytes());
  EXPECT_EQ(RunChild(copy.path(), "summary"), kAutomaticFlag | 4242);
  EXPECT_EQ(RunChild(copy.path(), "walk readme.txt hello"), 0u);
  EXPECT_EQ(RunChild(copy.path(), "walk other.txt hello"), 3000u) << "the child really compares";
}

TEST(LocatorChild, ResourceAndTrailerMustAgree) {
  size_t marker = 0;
  std::vector<uint8_t> image = ChildImage(&marker);
  const DWORD corrupt = static_cast<DWORD>(ReaderOutcome::CorruptArchive);

  ArchiveBytes unpatched = AppendArchive(image);
  TempFile copy("child_unpatched.exe", unpatched.bytes());
  EXPECT_EQ(RunChild(copy.path(), "summary"), 0u);
  EXPECT_EQ(RunChild(copy.path(), "walk readme.txt hello"), 1000 + corrupt);

  ArchiveBytes patched = AppendArchive(image);
  StoreU32(patched.bytes().data() + marker, patched.locator());
  patched.bytes().push_back(0);  // bytes appended behind the trailer
  TempFile appended("child_appended.exe", patched.bytes());
  EXPECT_EQ(RunChild(appended.path(), "summary"), 0u);
  EXPECT_EQ(RunChild(appended.path(), "walk readme.txt hello"), 1000 + corrupt);

  // The child as built carries no archive at all.
  std::string original = ChildProgramPath();
  EXPECT_EQ(RunChild(original.c_str(), "summary"), 0u);
  EXPECT_EQ(RunChild(original.c_str(), "walk readme.txt hello"), 1000 + corrupt);
}
