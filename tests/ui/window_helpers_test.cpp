// Protects the window arithmetic: truncating centring, base-name splitting
// with double-byte characters, byte searches, MiB hundredths and the
// trailing-backslash rule.
#include <gtest/gtest.h>

#include <string>

#include "ui/window_helpers.h"

namespace {

// Shift-JIS lead bytes, independent of the code page of the machine.
bool ShiftJisLead(uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

std::string BaseName(const char* path) { return path + BaseNameStart(path, ShiftJisLead); }

TEST(CentredOffset, CentresOnScreenAndTruncatesTowardZero) {
  EXPECT_EQ(CentredOffset(1024, 300), 362);
  EXPECT_EQ(CentredOffset(768, 200), 284);
  EXPECT_EQ(CentredOffset(100, 301), -100);  // -201 / 2 truncates to -100, not -101
  EXPECT_EQ(CentredOffset(100, 101), 0);
  EXPECT_EQ(CentredOffset(301, 100), 100);
}

TEST(BaseNameStart, KeepsNameAndExtensionAfterDriveAndFolders) {
  EXPECT_EQ(BaseName("C:\\TOOLS\\A.B.EXE"), "A.B.EXE");
  EXPECT_EQ(BaseName("C:\\TOOLS\\SETUP"), "SETUP");
  EXPECT_EQ(BaseName("C:SETUP.EXE"), "SETUP.EXE");
  EXPECT_EQ(BaseName("Z:/home/user/dist/setup.exe"), "setup.exe");
  EXPECT_EQ(BaseName("C:\\mixed/dir\\last.exe"), "last.exe");
  EXPECT_EQ(BaseName("\\\\server\\share\\x.exe"), "x.exe");
  EXPECT_EQ(BaseName("plain.exe"), "plain.exe");
  EXPECT_EQ(BaseName(""), "");
}

TEST(BaseNameStart, TrailByte5CIsNoSeparator) {
  // "表" is 0x95 0x5C and "ソ" is 0x83 0x5C: their second byte is a backslash.
  EXPECT_EQ(BaseName("C:\\\x95\x5C\\\x83\x5C\x83\x74\x83\x67.exe"), "\x83\x5C\x83\x74\x83\x67.exe");
  EXPECT_EQ(BaseName("C:\\dir\\\x95\x5C.exe"), "\x95\x5C.exe");
  // A lead byte at the very end is taken alone, without reading past the end.
  EXPECT_EQ(BaseName("C:\\dir\\name\x95"), "name\x95");
}

TEST(FindChar, FirstAndLastByteIndex) {
  EXPECT_EQ(FindLastChar("C:\\DATA\\", '\\'), 7);
  EXPECT_EQ(FindLastChar("DATA", '\\'), -1);
  EXPECT_EQ(FindLastChar("", '\\'), -1);
  EXPECT_EQ(FindLastChar(nullptr, '\\'), -1);
  EXPECT_EQ(FindChar("C:\\DATA\\", '\\'), 2);
  EXPECT_EQ(FindChar("DATA", '\\'), -1);
  EXPECT_EQ(FindChar(nullptr, '\\'), -1);
  // Only the low 8 bits of the character count.
  EXPECT_EQ(FindChar("a\\b", 0x15C), 1);
  EXPECT_EQ(FindLastChar("\x95\x5C", 0x5C), 1);  // a byte search: trail bytes match too
}

TEST(SizeInMibHundredths, RoundsToNearestHundredth) {
  EXPECT_EQ(SizeInMibHundredths(0), 0u);
  EXPECT_EQ(SizeInMibHundredths(1), 0u);
  EXPECT_EQ(SizeInMibHundredths(5242), 0u);  // 0.49990 hundredths
  EXPECT_EQ(SizeInMibHundredths(5243), 1u);  // 0.50001 hundredths
  EXPECT_EQ(SizeInMibHundredths(1048576), 100u);
  EXPECT_EQ(SizeInMibHundredths(1101005), 105u);  // 1.05 MiB
  EXPECT_EQ(SizeInMibHundredths(5001708), 477u);  // 4.77 MiB
}

TEST(SizeInMibHundredths, SizesOfTwoGibAndMoreDoNotOverflow) {
  EXPECT_EQ(SizeInMibHundredths(0x7FFFFFFFu), 204800u);
  EXPECT_EQ(SizeInMibHundredths(0x80000000u), 204800u);  // 2048.00
  EXPECT_EQ(SizeInMibHundredths(0xC0000000u), 307200u);  // 3072.00
  EXPECT_EQ(SizeInMibHundredths(0xFFFFFFFFu), 409600u);  // 4096.00
}

TEST(NeedsTrailingBackslash, AppendsUnlessEmptyOrEndingInBackslash) {
  EXPECT_TRUE(NeedsTrailingBackslash("C:\\DATA", ShiftJisLead));
  EXPECT_FALSE(NeedsTrailingBackslash("C:\\DATA\\", ShiftJisLead));
  EXPECT_TRUE(NeedsTrailingBackslash("DATA", ShiftJisLead));
  EXPECT_TRUE(NeedsTrailingBackslash("C:", ShiftJisLead));
  EXPECT_FALSE(NeedsTrailingBackslash("C:\\", ShiftJisLead));
  EXPECT_FALSE(NeedsTrailingBackslash("", ShiftJisLead));
}

TEST(NeedsTrailingBackslash, FolderEndingInTrailByte5CStillGetsOne) {
  EXPECT_TRUE(NeedsTrailingBackslash("C:\\\x95\x5C", ShiftJisLead));          // C:\表
  EXPECT_TRUE(NeedsTrailingBackslash("C:\\a\x83\x5C", ShiftJisLead));         // C:\aソ
  EXPECT_FALSE(NeedsTrailingBackslash("C:\\\x95\x5C\\", ShiftJisLead));       // C:\表\ ends in one
  EXPECT_FALSE(NeedsTrailingBackslash("C:\\\x83\x5C\x83\x5C\\", ShiftJisLead));
}

}  // namespace
