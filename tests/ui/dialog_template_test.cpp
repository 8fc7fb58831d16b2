// Protects the dialog templates inside the built stub: every dialog and
// control (id, class, text, style, order) in Japanese resources with the
// 9-point font, texts stored as the right characters, and every control
// inside its dialog.  Positions and sizes are the resource script's to
// choose; only that they fit is checked here.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace {

constexpr WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

std::wstring Wide(const char* utf8) {
  wchar_t out[512];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, 512);
  return std::wstring(out, static_cast<size_t>(n > 0 ? n - 1 : 0));
}

struct Control {
  int id;
  std::wstring className;  // "#128" style for the predefined classes
  std::wstring text;
  DWORD style;
  short x = 0, y = 0, cx = 0, cy = 0;  // as read from the template
};

struct Dialog {
  DWORD style = 0, exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::wstring caption, font;
  WORD pointSize = 0;
  std::vector<Control> controls;
};

std::wstring Ordinal(WORD value) { return L"#" + std::to_wstring(value); }

// Reads a sz_Or_Ord field: 0 (none), 0xFFFF + ordinal, or a UTF-16 string.
std::wstring ReadNameOrOrdinal(const WORD*& p) {
  if (*p == 0xFFFF) {
    const WORD value = p[1];
    p += 2;
    return Ordinal(value);
  }
  std::wstring text;
  while (*p != 0) text += static_cast<wchar_t>(*p++);
  ++p;
  return text;
}

Dialog Parse(const void* data) {
  Dialog d;
  const WORD* p = static_cast<const WORD*>(data);
  const DLGTEMPLATE* t = static_cast<const DLGTEMPLATE*>(data);
  d.style = t->style;
  d.exStyle = t->dwExtendedStyle;
  d.x = t->x, d.y = t->y, d.cx = t->cx, d.cy = t->cy;
  const int count = t->cdit;
  p = reinterpret_cast<const WORD*>(t + 1);
  ReadNameOrOrdinal(p);  // menu
  ReadNameOrOrdinal(p);  // class
  d.caption = ReadNameOrOrdinal(p);
  if (d.style & DS_SETFONT) {
    d.pointSize = *p++;
    d.font = ReadNameOrOrdinal(p);
  }
  for (int i = 0; i < count; ++i) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
    const DLGITEMTEMPLATE* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
    Control c;
    c.style = item->style;
    c.x = item->x, c.y = item->y, c.cx = item->cx, c.cy = item->cy;
    c.id = static_cast<short>(item->id);
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(item) + 18);
    c.className = ReadNameOrOrdinal(p);
    c.text = ReadNameOrOrdinal(p);
    const WORD extra = *p++;
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
    EXPECT_EQ(item->dwExtendedStyle, 0u) << "control " << c.id;
    d.controls.push_back(c);
  }
  return d;
}

class DialogTemplate : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { stub_ = LoadLibraryExA(KAITO_STUB_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE); }
  static void TearDownTestSuite() { FreeLibrary(stub_); }

  Dialog Load(int id) {
    EXPECT_NE(stub_, nullptr) << KAITO_STUB_PATH;
    HRSRC found = FindResourceExA(stub_, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(id),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    EXPECT_NE(found, nullptr) << "dialog " << id << " in language 0x0411";
    if (found == nullptr) return Dialog{};
    return Parse(LockResource(LoadResource(stub_, found)));
  }

  void ExpectFrame(const Dialog& d, DWORD style, const char* caption) {
    EXPECT_EQ(d.style, style);
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.caption, Wide(caption));
    EXPECT_EQ(d.pointSize, 9);
    EXPECT_EQ(d.font, Wide(u8"ＭＳ Ｐゴシック"));
  }

  void ExpectControls(const Dialog& d, const std::vector<Control>& expected) {
    ASSERT_EQ(d.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      const Control& got = d.controls[i];
      const Control& want = expected[i];
      SCOPED_TRACE("control #" + std::to_string(i) + " id " + std::to_string(want.id));
      EXPECT_EQ(got.id, want.id);
      // Class names are case-insensitive; windres stores them upper-cased.
      EXPECT_EQ(_wcsicmp(got.className.c_str(), want.className.c_str()), 0)
          << "class " << std::string(got.className.begin(), got.className.end());
      EXPECT_TRUE(got.text == want.text);
      EXPECT_EQ(got.style, want.style);
      // Every control has a size and lies wholly inside the dialog.
      EXPECT_GT(got.cx, 0);
      EXPECT_GT(got.cy, 0);
      EXPECT_GE(got.x, 0);
      EXPECT_GE(got.y, 0);
      EXPECT_LE(got.x + got.cx, d.cx);
      EXPECT_LE(got.y + got.cy, d.cy);
    }
  }

  static HMODULE stub_;
};
HMODULE DialogTemplate::stub_ = nullptr;

TEST_F(DialogTemplate, Destination131) {
  const Dialog d = Load(131);
  ExpectFrame(d, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, u8"ファイルの解凍");
  ExpectControls(d, {
      {1004, Ordinal(kStatic), Wide(u8"****.exeを解凍する場合は、[解凍]ボタンをクリックしてください"),
       kChild | SS_LEFT | WS_GROUP},
      {-1, Ordinal(kStatic), Wide(u8"解凍先(&F):"), kChild | SS_LEFT | WS_GROUP},
      {1002, Ordinal(kEdit), L"", kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
      {1005, Ordinal(kButton), Wide(u8"参照(&B)..."), kChild | BS_PUSHBUTTON | WS_TABSTOP},
      {1003, Ordinal(kButton), Wide(u8"ファイルの上書きを確認しない(&P)"),
       kChild | BS_AUTOCHECKBOX | WS_TABSTOP},
      {1, Ordinal(kButton), Wide(u8"解凍(&E)"), kChild | BS_DEFPUSHBUTTON | WS_TABSTOP},
      {2, Ordinal(kButton), Wide(u8"閉じる"), kChild | BS_PUSHBUTTON | WS_TABSTOP},
  });
}

TEST_F(DialogTemplate, Progress132) {
  const Dialog d = Load(132);
  ExpectFrame(d, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, "");
  ExpectControls(d, {
      {2, Ordinal(kButton), Wide(u8"中断(&A)"), kChild | BS_PUSHBUTTON | WS_TABSTOP},
      {1006, L"msctls_progress32", L"Progress1", kChild | WS_BORDER},
      {1007, Ordinal(kStatic), L"100%", kChild | SS_RIGHT | WS_GROUP},
  });
}

TEST_F(DialogTemplate, Overwrite134) {
  const Dialog d = Load(134);
  ExpectFrame(d, WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, "");
  EXPECT_EQ(d.style & WS_SYSMENU, 0u);
  ExpectControls(d, {
      {1, Ordinal(kButton), Wide(u8"上書き(&W)"), kChild | BS_DEFPUSHBUTTON | WS_TABSTOP},
      {1008, Ordinal(kButton), Wide(u8"中断(&A)"), kChild | BS_PUSHBUTTON | WS_TABSTOP},
      {1009, Ordinal(kStatic), L"", kChild | SS_ICON},
      {1011, Ordinal(kStatic), L"", kChild | SS_LEFT | WS_GROUP},
      {-1, Ordinal(kStatic), Wide(u8"同名のファイルが存在します。上書きしてもいいですか?"),
       kChild | SS_LEFT | WS_GROUP},
      {1010, Ordinal(kButton), Wide(u8"すべて上書き(&A)"), kChild | BS_PUSHBUTTON | WS_TABSTOP},
  });
}

TEST_F(DialogTemplate, IconManifestAndVersionArePresent) {
  ASSERT_NE(stub_, nullptr);
  const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
  EXPECT_NE(FindResourceExA(stub_, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, MAKEINTRESOURCEA(130), japanese), nullptr);
  EXPECT_NE(FindResourceExA(stub_, "VAL", MAKEINTRESOURCEA(133), japanese), nullptr);
  HRSRC manifest = FindResourceExA(stub_, MAKEINTRESOURCEA(24) /* RT_MANIFEST */, MAKEINTRESOURCEA(1), japanese);
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(stub_, manifest))),
                         SizeofResource(stub_, manifest));
  EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("<dpiAware"), std::string::npos);
  EXPECT_NE(FindResourceExA(stub_, MAKEINTRESOURCEA(16) /* RT_VERSION */, MAKEINTRESOURCEA(1), japanese), nullptr);
}

}  // namespace
