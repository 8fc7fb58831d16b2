// Protects the automatic choice of a destination and the free-space answer:
// which query the system version allows, exact 64-bit comparisons, the order
// in which folders are tried, and the kernel32 library never left loaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/auto_destination.h"
#include "extract/extract_status.h"
#include "fake_machine.h"
#include "ui/window_helpers_win.h"

namespace {

OSVERSIONINFOA Version(DWORD platform, DWORD major, DWORD minor, DWORD build) {
  OSVERSIONINFOA version = {};
  version.dwPlatformId = platform;
  version.dwMajorVersion = major;
  version.dwMinorVersion = minor;
  version.dwBuildNumber = build;
  return version;
}

class AutoDestinationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMachine();
    g_diskQueries = FakeDiskQueries(&machine);
    memset(DestDir, 0, sizeof DestDir);
    SkipOverwritePrompt = 0;
  }
  void TearDown() override {
    EXPECT_EQ(machine.loads, machine.frees) << "kernel32 left loaded";
    g_diskQueries = RealDiskQueries();
  }

  // A fresh machine on an NT system, as Wine reports itself.
  void ResetMachine() {
    EXPECT_EQ(machine.loads, machine.frees) << "kernel32 left loaded";
    machine = FakeMachine();
    machine.version = Version(VER_PLATFORM_WIN32_NT, 6, 1, 7601);
  }

  // A fixed drive answering both queries with the same number of free bytes
  // (the cluster answer in 1-byte sectors, so any count below 4 GiB fits).
  void FixedDrive(const std::string& root, uint64_t freeBytes) {
    machine.driveTypes[root] = DRIVE_FIXED;
    machine.extendedFree[root] = freeBytes;
    machine.clusterFree[root] = {1, 1, static_cast<DWORD>(freeBytes > 0xFFFFFFFF ? 0xFFFFFFFF : freeBytes)};
  }
  int TimesTested(const std::string& root) const {
    int count = 0;
    for (const std::string& tested : machine.extendedRoots) count += tested == root;
    return count;
  }

  FakeMachine machine;
};

// --- HasFreeSpace ---

struct VersionRow {
  OSVERSIONINFOA version;
  bool extended;
};

TEST_F(AutoDestinationTest, VersionDecidesBetweenExtendedAndClusterQuery) {
  const VersionRow rows[] = {
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1000), false},   // Windows 95
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1001), true},    // first OSR2 build
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x040003E8), false},  // high bits ignored
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x040003E9), true},
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x0000FFFF), true},
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0), true},     // Windows 98
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0), true},     // Windows ME
      {Version(VER_PLATFORM_WIN32_WINDOWS, 5, 0, 0), true},
      {Version(VER_PLATFORM_WIN32_WINDOWS, 3, 95, 5000), false},
      {Version(VER_PLATFORM_WIN32_NT, 3, 51, 0), true},
      {Version(VER_PLATFORM_WIN32_NT, 6, 1, 7601), true},
      {Version(VER_PLATFORM_WIN32s, 9, 99, 9999), false},
      {Version(3, 10, 0, 5000), false},
  };
  FixedDrive("C:\\", 100);
  for (const VersionRow& row : rows) {
    machine.version = row.version;
    machine.extendedRoots.clear();
    machine.clusterRoots.clear();
    EXPECT_TRUE(HasFreeSpace("C:\\", 100));
    SCOPED_TRACE(testing::Message() << "platform " << row.version.dwPlatformId << " version "
                                    << row.version.dwMajorVersion << "." << row.version.dwMinorVersion
                                    << " build " << row.version.dwBuildNumber);
    EXPECT_EQ(machine.extendedRoots.size(), row.extended ? 1u : 0u);
    EXPECT_EQ(machine.clusterRoots.size(), row.extended ? 0u : 1u);
  }
  EXPECT_EQ(machine.loadedNames.front(), "kernel32.dll");
  EXPECT_EQ(machine.lookedUpNames.front(), "GetDiskFreeSpaceExA");
}

TEST_F(AutoDestinationTest, FailedVersionQueryCountsAsOldestSystem) {
  machine.versionFails = true;
  FixedDrive("C:\\", 100);
  EXPECT_TRUE(HasFreeSpace("C:\\", 100));
  EXPECT_TRUE(machine.extendedRoots.empty());
  EXPECT_EQ(machine.clusterRoots.size(), 1u);
  EXPECT_EQ(machine.loads, 0);
}

TEST_F(AutoDestinationTest, ExactlyRequiredSizeHasRoomOneByteLessHasNot) {
  FixedDrive("C:\\", 123456789);
  EXPECT_TRUE(HasFreeSpace("C:\\", 123456789));
  EXPECT_FALSE(HasFreeSpace("C:\\", 123456790));

  machine.version = Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950);
  machine.clusterFree["C:\\"] = {8, 512, 1000};  // 4096000 bytes
  EXPECT_TRUE(HasFreeSpace("C:\\", 4096000));
  EXPECT_FALSE(HasFreeSpace("C:\\", 4096001));
  EXPECT_FALSE(HasFreeSpace("C:\\", 0xFFFFFFFF));
}

TEST_F(AutoDestinationTest, FourGibibytesOrMoreIsEnoughForAnySize) {
  machine.driveTypes["C:\\"] = DRIVE_FIXED;
  machine.extendedFree["C:\\"] = 0x100000000ull;
  EXPECT_TRUE(HasFreeSpace("C:\\", 0xFFFFFFFF));
  machine.extendedFree["C:\\"] = 0x100000005ull;  // low half alone would be 5 bytes
  EXPECT_TRUE(HasFreeSpace("C:\\", 0xFFFFFFFF));
  EXPECT_TRUE(HasFreeSpace("C:\\", 6));

  machine.version = Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950);
  machine.clusterFree["C:\\"] = {8, 512, 0x00200001};  // 8 GiB + 4 KiB, wraps to 4 KiB in 32 bits
  EXPECT_TRUE(HasFreeSpace("C:\\", 0xFFFFFFFF));
  machine.clusterFree["C:\\"] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};  // beyond 64 bits
  EXPECT_TRUE(HasFreeSpace("C:\\", 0xFFFFFFFF));
  machine.clusterFree["C:\\"] = {0, 512, 1000};
  EXPECT_FALSE(HasFreeSpace("C:\\", 1));
}

TEST_F(AutoDestinationTest, EveryFailureOfTheExtendedQueryFallsBackToClusters) {
  FixedDrive("C:\\", 5000);
  machine.kernelLoads = false;
  EXPECT_TRUE(HasFreeSpace("C:\\", 5000));
  EXPECT_EQ(machine.clusterRoots.size(), 1u);
  EXPECT_TRUE(machine.lookedUpNames.empty());

  machine.kernelLoads = true;
  machine.exportFound = false;
  EXPECT_TRUE(HasFreeSpace("C:\\", 5000));
  EXPECT_EQ(machine.clusterRoots.size(), 2u);
  EXPECT_EQ(machine.frees, 1);

  machine.exportFound = true;
  machine.extendedFails = true;
  EXPECT_TRUE(HasFreeSpace("C:\\", 5000));
  EXPECT_EQ(machine.clusterRoots.size(), 3u);
  EXPECT_EQ(machine.frees, 2);

  machine.clusterFails = true;
  EXPECT_FALSE(HasFreeSpace("C:\\", 1));
  EXPECT_EQ(machine.frees, 3);

  machine.extendedFails = false;
  EXPECT_TRUE(HasFreeSpace("C:\\", 5000));
  EXPECT_EQ(machine.clusterRoots.size(), 4u) << "a successful extended query is final";
  EXPECT_EQ(machine.frees, 4);
}

// --- ChooseAutomaticDestination ---

TEST_F(AutoDestinationTest, RequiredSizeZeroIsReportedAsDamagedData) {
  FixedDrive("C:\\", 1000);
  machine.driveList = {"C:\\"};
  EXPECT_FALSE(ChooseAutomaticDestination(0));
  EXPECT_EQ(SkipOverwritePrompt, 1) << "set before the check";
  ASSERT_EQ(machine.messageTexts.size(), 1u);
  // "解凍データが壊れています。"
  EXPECT_EQ(machine.messageTexts[0],
            "\x89\xf0\x93\x80\x83\x66\x81\x5b\x83\x5e\x82\xaa\x89\xf3\x82\xea\x82\xc4\x82\xa2"
            "\x82\xdc\x82\xb7\x81\x42");
  EXPECT_EQ(machine.messageCaptions[0], AlertCaption());
  // "<program name>の解凍"
  EXPECT_NE(machine.messageCaptions[0].find("auto_destination_test.exe\x82\xcc\x89\xf0\x93\x80"),
            std::string::npos);
  EXPECT_EQ(machine.messageFlags[0], static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_EQ(machine.tempPathCalls, 0);
  EXPECT_STREQ(DestDir, "");
}

TEST_F(AutoDestinationTest, TemporaryFolderOnFixedDriveWithRoomIsUsedAsItIs) {
  FixedDrive("C:\\", 1000);
  machine.driveList = {"C:\\"};
  EXPECT_TRUE(ChooseAutomaticDestination(1000));
  EXPECT_STREQ(DestDir, "C:\\WINDOWS\\TEMP\\");
  EXPECT_EQ(SkipOverwritePrompt, 1);
  EXPECT_TRUE(machine.messageTexts.empty());
}

TEST_F(AutoDestinationTest, TemporaryFolderOffFixedDrivesIsPassedOver) {
  const struct {
    const char* tempPath;
    UINT tempDriveType;
  } cases[] = {
      {"D:\\TEMP\\", DRIVE_REMOVABLE},
      {"D:\\TEMP\\", DRIVE_REMOTE},
      {"D:\\TEMP\\", DRIVE_CDROM},
      {"\\\\server\\share\\temp\\", DRIVE_REMOVABLE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tempPath);
    ResetMachine();
    machine.tempPath = c.tempPath;
    machine.driveTypes["D:\\"] = c.tempDriveType;
    machine.extendedFree["D:\\"] = 1ull << 40;
    FixedDrive("\\\\s", 1ull << 40);  // what the first three characters of a UNC path name
    FixedDrive("C:\\", 10);            // no room
    FixedDrive("E:\\", 1000);
    FixedDrive("F:\\", 1000);
    machine.driveList = {"A:\\", "C:\\", "D:\\", "E:\\", "F:\\"};
    EXPECT_TRUE(ChooseAutomaticDestination(1000));
    EXPECT_STREQ(DestDir, "E:\\_davoexpand\\");
    EXPECT_EQ(TimesTested("D:\\"), 0);
    EXPECT_EQ(TimesTested("F:\\"), 0) << "the scan stops at the first drive with room";
    EXPECT_EQ(TimesTested("\\\\s"), 0);
  }
}

TEST_F(AutoDestinationTest, TemporaryFolderDriveIsTestedAgainInTheScan) {
  FixedDrive("C:\\", 999);
  FixedDrive("D:\\", 1000);
  machine.driveList = {"C:\\", "D:\\"};
  EXPECT_TRUE(ChooseAutomaticDestination(1000));
  EXPECT_STREQ(DestDir, "D:\\_davoexpand\\");
  EXPECT_EQ(TimesTested("C:\\"), 2);
}

TEST_F(AutoDestinationTest, NoDriveWithRoomLeavesTheTemporaryFolder) {
  FixedDrive("C:\\", 999);
  FixedDrive("D:\\", 0);
  machine.driveTypes["E:\\"] = DRIVE_RAMDISK;
  machine.extendedFree["E:\\"] = 1ull << 40;
  machine.driveList = {"C:\\", "D:\\", "E:\\"};
  EXPECT_TRUE(ChooseAutomaticDestination(1000));
  EXPECT_STREQ(DestDir, "C:\\WINDOWS\\TEMP\\");

  machine.tempPath = "\\\\server\\share\\temp\\";
  EXPECT_TRUE(ChooseAutomaticDestination(1000));
  EXPECT_STREQ(DestDir, "\\\\server\\share\\temp\\");
  EXPECT_TRUE(machine.messageTexts.empty());
}

TEST_F(AutoDestinationTest, UnusableTemporaryFolderIsNeverTheDestination) {
  const struct {
    const char* tempPath;
    DWORD result;
  } unusable[] = {
      {"", 0},                                  // the platform gives no folder
      {"C:\\WINDOWS\\TEMP\\", 0},                 // failure reported, buffer written anyway
      {"TEMP\\", 0xFFFFFFFF},                     // relative
      {"\\TEMP\\", 0xFFFFFFFF},                   // relative to the current drive
      {"C:TEMP\\", 0xFFFFFFFF},                   // relative to a drive's current folder
      {"C:\\WINDOWS\\TEMP\\", 300},               // longer than the buffer
  };
  for (const auto& c : unusable) {
    SCOPED_TRACE(c.tempPath);
    ResetMachine();
    machine.tempPath = c.tempPath;
    machine.tempPathResult = c.result;
    FixedDrive("C:\\", 10);
    machine.driveList = {"C:\\"};
    // With a drive that has room, its automatic folder is used.
    FixedDrive("D:\\", 1000);
    machine.driveList.push_back("D:\\");
    EXPECT_TRUE(ChooseAutomaticDestination(1000));
    EXPECT_STREQ(DestDir, "D:\\_davoexpand\\");
    // Without one, nothing is extracted and the user is told.
    FixedDrive("D:\\", 10);
    EXPECT_FALSE(ChooseAutomaticDestination(1000));
    EXPECT_STREQ(DestDir, "");
    ASSERT_EQ(machine.messageTexts.size(), 1u);
    // "ファイルの解凍が開始できません"
    EXPECT_EQ(machine.messageTexts[0],
              "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x89\xf0\x93\x80\x82\xaa\x8a\x4a\x8e\x6e"
              "\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1");
    EXPECT_EQ(machine.messageFlags[0], static_cast<UINT>(MB_OK | MB_ICONERROR));
  }
}

TEST_F(AutoDestinationTest, TemporaryFolderWithoutClosingBackslashGetsOne) {
  machine.tempPath = "C:\\WINDOWS\\TEMP";
  FixedDrive("C:\\", 1000);
  EXPECT_TRUE(ChooseAutomaticDestination(1000));
  EXPECT_STREQ(DestDir, "C:\\WINDOWS\\TEMP\\");
  // "表" is 0x95 0x5C: its second byte is no closing backslash.
  machine.tempPath = "C:\\\x95\x5c";
  EXPECT_TRUE(ChooseAutomaticDestination(1000));
  EXPECT_STREQ(DestDir, "C:\\\x95\x5c\\");
}

TEST_F(AutoDestinationTest, TemporaryFolderWithDoubleByteNamesIsKept) {
  // C:\Users\表示\Temp\ ("表示" = 0x95 0x5C 0x8E 0xA6), its length counted
  // in characters as well as in bytes.
  machine.tempPath = "C:\\Users\\\x95\x5c\x8e\xa6\\Temp\\";
  FixedDrive("C:\\", 1000);
  for (DWORD answer : {static_cast<DWORD>(machine.tempPath.size()),
                       static_cast<DWORD>(machine.tempPath.size() - 2)}) {
    machine.tempPathResult = answer;
    EXPECT_TRUE(ChooseAutomaticDestination(1000));
    EXPECT_EQ(std::string(DestDir), machine.tempPath);
  }
}

TEST_F(AutoDestinationTest, RealQueriesPickWinesTemporaryFolder) {
  g_diskQueries = RealDiskQueries();
  g_diskQueries.MessageBoxA = FakeMessageBox;
  char expected[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, expected);
  ASSERT_TRUE(HasFreeSpace("C:\\", 1));
  EXPECT_TRUE(ChooseAutomaticDestination(1));
  EXPECT_STREQ(DestDir, expected);
}

}  // namespace
