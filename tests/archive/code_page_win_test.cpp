// Test programs run in the project's Wine prefix under the Japanese ANSI code
// page 932, so names and texts are read as Shift-JIS, as on a Japanese system.
#include <gtest/gtest.h>

#include <windows.h>

TEST(CodePage, AnsiCodePageIs932) { EXPECT_EQ(GetACP(), 932u); }

TEST(CodePage, BackslashByteAfterALeadByteIsPartOfTheCharacter) {
  const char hyo[] = "\x95\x5C";  // 表
  wchar_t wide[4] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, hyo, 2, wide, 4), 1);
  EXPECT_EQ(wide[0], 0x8868);
  EXPECT_TRUE(IsDBCSLeadByte(0x95));
}
