// Protects the Win32 window helpers and the destination message: real
// window placement, the program's base name and caption, and the size text
// as the dialog shows it (Shift-JIS, one or two lines, MiB hundredths).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ui/destination_text.h"
#include "ui/window_helpers_win.h"

namespace {

// The Shift-JIS bytes of a UTF-8 text, converted by the system, so the
// expectations do not share the escaped byte strings of the code.
std::string ShiftJis(const char* utf8) {
  wchar_t wide[512];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
  char out[1024];
  WideCharToMultiByte(932, 0, wide, n, out, sizeof(out), nullptr, nullptr);
  return out;
}

std::string Message(uint32_t size) {
  char text[kDestinationMessageSize];
  FormatDestinationMessage(text, "SETUP.EXE", size);
  return text;
}

HWND MakeWindow(int x, int y, int width, int height) {
  return CreateWindowExA(0, "STATIC", "", WS_POPUP, x, y, width, height, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

RECT RectOf(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

TEST(CentreWindow, CentresOnTheScreen) {
  HWND window = MakeWindow(5, 5, 300, 200);
  ASSERT_NE(window, nullptr);
  CentreWindow(window, nullptr);
  const RECT r = RectOf(window);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (screenWidth == 1024 && screenHeight == 768) {
    EXPECT_EQ(r.left, 362);
    EXPECT_EQ(r.top, 284);
  } else {
    EXPECT_EQ(r.left, (screenWidth - 300) / 2);
    EXPECT_EQ(r.top, (screenHeight - 200) / 2);
  }
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  DestroyWindow(window);
}

TEST(CentreWindow, LargerWindowOverSmallerReferenceTruncatesTowardZero) {
  HWND reference = MakeWindow(400, 300, 100, 100);
  HWND window = MakeWindow(0, 0, 301, 303);
  CentreWindow(window, reference);
  const RECT r = RectOf(window);
  EXPECT_EQ(r.left, 400 - 100);  // (100 - 301) / 2 = -100
  EXPECT_EQ(r.top, 300 - 101);   // (100 - 303) / 2 = -101
  DestroyWindow(window);
  DestroyWindow(reference);
}

TEST(ModuleBaseName, IsTheProgramFileNameWithExtension) {
  char name[260];
  ModuleBaseName(name, sizeof(name));
  EXPECT_STREQ(name, "window_helpers_win_test.exe");
  EXPECT_EQ(std::string(AlertCaption()), std::string(name) + ShiftJis(u8"の解凍"));
}

TEST(DestinationMessage, OneLineWithoutSize) {
  EXPECT_EQ(Message(0), ShiftJis(u8"SETUP.EXEを以下のフォルダに解凍します"));
}

TEST(DestinationMessage, TwoLinesWithSizeInMib) {
  EXPECT_EQ(Message(5001708),
            ShiftJis(u8"SETUP.EXEを以下のフォルダに解凍します\n（約4.77ＭＢの空き容量が必要です）"));
  const std::string line2 = ShiftJis(u8"ＭＢの空き容量が必要です）");
  EXPECT_NE(Message(1101005).find("1.05" + line2), std::string::npos);
  EXPECT_NE(Message(1048576).find("1.00" + line2), std::string::npos);
  for (uint32_t size : {1u, 2u, 4000u, 5242u})
    EXPECT_NE(Message(size).find(ShiftJis(u8"（約0.00ＭＢ")), std::string::npos) << size;
  const std::string two = Message(123456789);
  EXPECT_EQ(two.find('\n'), two.rfind('\n'));
  EXPECT_NE(two.find('\n'), std::string::npos);
  EXPECT_EQ(two.find('\r'), std::string::npos);
}

TEST(DestinationMessage, AgreesWithMulDivBelowTwoGib) {
  for (uint32_t size = 1; size < 0x80000000u; size = size * 3 + 7) {
    const int hundredths = MulDiv(static_cast<int>(size), 100, 0x100000);
    char expected[32];
    wsprintfA(expected, "%d.%02d", hundredths / 100, hundredths % 100);
    EXPECT_NE(Message(size).find(std::string(ShiftJis(u8"（約")) + expected), std::string::npos) << size;
  }
}

TEST(DestinationMessage, TwoGibAndMoreShowTheTrueSize) {
  EXPECT_NE(Message(0x80000000u).find(ShiftJis(u8"（約2048.00ＭＢ")), std::string::npos);
  EXPECT_NE(Message(0xFFFFFFFFu).find(ShiftJis(u8"（約4096.00ＭＢ")), std::string::npos);
}

}  // namespace
