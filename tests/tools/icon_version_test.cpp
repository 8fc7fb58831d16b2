// The .ico reader and the version record: what they accept, what they refuse
// and the bytes they write.
#include <gtest/gtest.h>

#include "branding_image.h"
#include "tools/pe/ico_file.h"
#include "tools/pe/version_record.h"

using namespace branding_image;

TEST(IcoFile, ReadsEveryImageWithItsColourDepth) {
  std::vector<uint8_t> ico = ThreeImageIco();
  std::vector<IconImage> images;
  std::string error;
  ASSERT_TRUE(ParseIcoFile(ico.data(), ico.size(), &images, &error)) << error;
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0].width, 16);
  EXPECT_EQ(images[0].bitCount, 32);
  EXPECT_EQ(images[0].bytes, BitmapImage(16, 32, 0x11));
  EXPECT_EQ(images[1].planes, 1);
  EXPECT_EQ(images[1].bitCount, 8);  // the .ico said 0: taken from the bitmap header
  EXPECT_EQ(images[2].bitCount, 32);
  EXPECT_EQ(images[2].bytes, PngImage(0x33));
}

TEST(IcoFile, RefusesWhatIsNoIcon) {
  std::vector<uint8_t> good = ThreeImageIco();
  std::vector<uint8_t> cursor = good;
  cursor[2] = 2;  // a cursor file
  std::vector<uint8_t> empty = IcoFile({});
  std::vector<uint8_t> cut(good.begin(), good.end() - 1);
  std::vector<uint8_t> listCut(good.begin(), good.begin() + 20);
  std::vector<uint8_t> notAnImage = IcoFile({{16, 32, Bytes(std::string(64, 'x'))}});
  std::vector<uint8_t> huge = IcoFile({{0, 32, PngImage(0)}});
  huge.resize(kMaxIconFileSize + 1);
  struct Case {
    const std::vector<uint8_t>& bytes;
    const char* expected;
  };
  std::vector<uint8_t> text = Bytes("this is a text file, not an icon");
  Case cases[] = {{text, "not an .ico file"},       {cursor, "not an .ico file"},
                  {empty, "holds no image"},        {cut, "image 3 lies outside the file"},
                  {listCut, "image list runs past"}, {notAnImage, "neither a PNG nor a bitmap"},
                  {huge, "larger than 1 MiB"}};
  for (const Case& c : cases) {
    std::vector<IconImage> images;
    std::string error;
    EXPECT_FALSE(ParseIcoFile(c.bytes.data(), c.bytes.size(), &images, &error)) << c.expected;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(VersionRecord, DottedVersionsTakeOneToFourNumbers) {
  struct Case {
    const char* text;
    bool valid;
    uint16_t parts[4];
  };
  Case cases[] = {{"7", true, {7, 0, 0, 0}},           {"1.2.3.4", true, {1, 2, 3, 4}},
                  {"65535.0.00012", true, {65535, 0, 12, 0}},
                  {"", false, {}},  {"1.", false, {}},  {".1", false, {}},       {"1..2", false, {}},
                  {"1.2.3.4.5", false, {}},               {"65536", false, {}}, {"99999999999", false, {}},
                  {"1a", false, {}}, {"-1", false, {}}, {" 1", false, {}},       {"1.2 ", false, {}}};
  for (const Case& c : cases) {
    uint16_t parts[4] = {9, 9, 9, 9};
    EXPECT_EQ(ParseDottedVersion(c.text, parts), c.valid) << c.text;
    if (c.valid) {
      for (int i = 0; i < 4; ++i) EXPECT_EQ(parts[i], c.parts[i]) << c.text;
    }
  }
}

TEST(VersionRecord, ArgumentsAreCheckedAndKeysTakeTheirOwnSpelling) {
  std::vector<VersionText> texts;
  std::string error;
  ASSERT_TRUE(ParseVersionTexts({"productname=Demo", "FILEVERSION=1.0", "LegalCopyright=(c) = me"}, &texts, &error));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].key, "ProductName");
  EXPECT_EQ(texts[1].key, "FileVersion");
  EXPECT_EQ(texts[2].value, "(c) = me");

  struct Case {
    std::vector<std::string> arguments;
    const char* expected;
  };
  Case cases[] = {{{"Comments=hi"}, "unknown key 'Comments'"},
                  {{"ProductName"}, "expected KEY=VALUE"},
                  {{"ProductName="}, "the value is empty"},
                  {{"FileVersion=1.2-beta"}, "1 to 4 numbers"},
                  {{"ProductVersion=70000"}, "1 to 4 numbers"},
                  {{"CompanyName=A", "companyname=B"}, "CompanyName is given twice"}};
  for (const Case& c : cases) {
    EXPECT_FALSE(ParseVersionTexts(c.arguments, &texts, &error)) << c.expected;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    EXPECT_NE(error.find("--version-info " + c.arguments.back()), std::string::npos) << error;
  }
}

namespace {

std::vector<uint8_t> Record(const std::vector<VersionText>& texts, const VersionRecordBase& base = {}) {
  std::vector<uint8_t> record;
  std::string error;
  EXPECT_TRUE(BuildVersionRecord(texts, base, &record, &error)) << error;
  return record;
}

std::vector<uint8_t> Utf16(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

bool Holds(const std::vector<uint8_t>& record, const std::vector<uint8_t>& bytes) {
  return std::search(record.begin(), record.end(), bytes.begin(), bytes.end()) != record.end();
}

}  // namespace

TEST(VersionRecord, FixedPartCarriesTheNumbersEachFallingBackToTheOther) {
  struct Case {
    std::vector<VersionText> texts;
    uint32_t fileMs, fileLs, productMs, productLs;
  };
  Case cases[] = {{{{"FileVersion", "1.2.3.4"}, {"ProductVersion", "5.6"}}, 0x10002, 0x30004, 0x50006, 0},
                  {{{"FileVersion", "1.2"}}, 0x10002, 0, 0x10002, 0},
                  {{{"ProductVersion", "3"}}, 0x30000, 0, 0x30000, 0},
                  {{{"ProductName", "x"}}, 0, 0, 0, 0}};
  for (const Case& c : cases) {
    std::vector<uint8_t> record = Record(c.texts);
    // Header (6) + "VS_VERSION_INFO\0" (32) + padding (2): the fixed part at 40.
    ASSERT_GE(record.size(), 92u);
    EXPECT_EQ(LoadU16(&record[0]), record.size());
    EXPECT_EQ(LoadU16(&record[2]), 52);
    EXPECT_EQ(LoadU32(&record[40]), 0xFEEF04BDu);
    EXPECT_EQ(LoadU32(&record[48]), c.fileMs);
    EXPECT_EQ(LoadU32(&record[52]), c.fileLs);
    EXPECT_EQ(LoadU32(&record[56]), c.productMs);
    EXPECT_EQ(LoadU32(&record[60]), c.productLs);
  }
}

TEST(VersionRecord, TextsAreStrictUtf8TurnedIntoUtf16) {
  // Characters beyond 16 bits become surrogate pairs.
  VersionRecordBase base;
  EXPECT_TRUE(Holds(Record({{"CompanyName", "株式会社 😀"}}, base), Utf16(u"株式会社 😀")));
  std::vector<uint8_t> refused;
  std::string error;
  for (const char* bad : {"\xE3\x81", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(BuildVersionRecord({{"ProductName", bad}}, base, &refused, &error)) << bad;
    EXPECT_NE(error.find("not UTF-8"), std::string::npos) << error;
  }
  EXPECT_FALSE(BuildVersionRecord({{"ProductName", std::string(40000, 'a')}}, base, &refused, &error));
  EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

TEST(VersionRecord, ReadsTheCodePageFromTheTableNameWhenNoTranslationIsGiven) {
  VersionRecordBase base;
  base.language = 0x409;
  base.codePage = 1252;
  std::vector<uint8_t> record = Record({{"ProductName", "x"}}, base);
  // Cut the record before its VarFileInfo block.
  std::vector<uint8_t> varFileInfo = Utf16(u"VarFileInfo");
  auto at = std::search(record.begin(), record.end(), varFileInfo.begin(), varFileInfo.end());
  ASSERT_NE(at, record.end());
  record.erase(at - 6, record.end());
  StoreU16(&record[0], static_cast<uint16_t>(record.size()));
  VersionRecordBase read;
  ReadVersionRecordBase(record, &read);
  EXPECT_EQ(read.language, 0x409);
  EXPECT_EQ(read.codePage, 1252);
  // Garbage leaves the defaults.
  VersionRecordBase fallback;
  ReadVersionRecordBase(Bytes("garbage that is no record"), &fallback);
  EXPECT_EQ(fallback.codePage, 1200);
  EXPECT_EQ(fallback.fileType, 1u);
}
