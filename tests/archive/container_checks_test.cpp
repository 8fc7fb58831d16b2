// The container's structural checks give each damaged or hostile archive its
// failure class, cannot be fooled by 32-bit wrap-around, and refuse every
// entry name that would leave the destination folder while keeping Japanese
// names whose trail byte is the backslash byte.
#include <gtest/gtest.h>

#include <string>

#include "archive/container_checks.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {


ArchiveHeader ValidHeader() {
  ArchiveHeader h{};
  h.magic = kArchiveMagic;
  h.headerSize = 16;
  h.entryCount = 1;
  return h;
}

EntryHeader EntryWithNameWord(uint16_t nameWord) {
  EntryHeader e{};
  e.magic = kEntryMagic;
  e.nameWord = nameWord;
  return e;
}

bool SafeName(const std::string& name, LeadByteTest test = IsShiftJisLeadByte) {
  return IsSafeEntryName(reinterpret_cast<const uint8_t*>(name.data()), name.size(), test);
}

}  // namespace

TEST(ContainerRecords, FieldsAreLittleEndianAtTheirOffsets) {
  const uint8_t header[16] = {'A', 'L', 16, 0, 0x34, 0x12, 2, 0, 9, 0, 5, 0, 0x78, 0x56, 0x34, 0x12};
  ArchiveHeader h = ParseArchiveHeader(header);
  EXPECT_EQ(h.magic, kArchiveMagic);
  EXPECT_EQ(h.headerSize, 16);
  EXPECT_EQ(h.entryCount, 0x1234);
  EXPECT_EQ(h.automaticMode, 2);
  EXPECT_EQ(h.followUpNameLength, 9);
  EXPECT_EQ(h.followUpArgsLength, 5);
  EXPECT_EQ(h.requiredSize, 0x12345678u);
  uint8_t back[16];
  SerializeArchiveHeader(h, back);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 16), std::string(reinterpret_cast<const char*>(header), 16));

  const uint8_t entry[24] = {'F', 'L', 0x05, 0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0xEF, 0xBE, 0xAD, 0xDE};
  EntryHeader e = ParseEntryHeader(entry);
  EXPECT_EQ(e.magic, kEntryMagic);
  EXPECT_EQ(EntryNameLength(e), 5u);
  EXPECT_TRUE(EntryIsStored(e));
  EXPECT_EQ(e.creationTime.low, 0x04030201u);
  EXPECT_EQ(e.creationTime.high, 0x08070605u);
  EXPECT_EQ(e.lastWriteTime.low, 0x0C0B0A09u);
  EXPECT_EQ(e.lastWriteTime.high, 0x100F0E0Du);
  EXPECT_EQ(e.dataSize, 0xDEADBEEFu);
  uint8_t entryBack[24];
  SerializeEntryHeader(e, entryBack);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(entryBack), 24), std::string(reinterpret_cast<const char*>(entry), 24));
}

TEST(ContainerChecks, TrailerMustRepeatTheLocator) {
  EXPECT_TRUE(CheckTrailer(40960, 40960));
  EXPECT_FALSE(CheckTrailer(40961, 40960));
  EXPECT_FALSE(CheckTrailer(0, 40960));
}

TEST(ContainerChecks, FileMustHoldStubHeaderAndTrailerWithoutWrapping) {
  EXPECT_TRUE(CheckFileSize(1000 + 20, 1000));
  EXPECT_FALSE(CheckFileSize(1000 + 19, 1000));
  EXPECT_FALSE(CheckFileSize(0, 0));
  // In 32 bits 0xFFFFFFF0 + 20 wraps to 4, which a 40-byte file would pass.
  EXPECT_FALSE(CheckFileSize(40, 0xFFFFFFF0u));
  EXPECT_FALSE(CheckFileSize(0xFFFFFFFFu, 0xFFFFFFF0u));
}

TEST(ContainerChecks, HeaderNeedsMagicSizeSixteenAndStringsThatFit) {
  EXPECT_TRUE(CheckArchiveHeader(ValidHeader()));
  ArchiveHeader h = ValidHeader();
  h.magic = 0x414C;  // "LA"
  EXPECT_FALSE(CheckArchiveHeader(h));
  for (int size : {0, 15, 17, 24}) {
    h = ValidHeader();
    h.headerSize = static_cast<uint16_t>(size);
    EXPECT_FALSE(CheckArchiveHeader(h)) << size;
  }
  h = ValidHeader();
  h.entryCount = 0;
  h.automaticMode = 2;
  EXPECT_TRUE(CheckArchiveHeader(h));

  // Follow-up strings live in 260-byte buffers: 259 bytes at most.
  h = ValidHeader();
  h.followUpNameLength = 259;
  h.followUpArgsLength = 259;
  EXPECT_TRUE(CheckArchiveHeader(h));
  h.followUpNameLength = 260;
  EXPECT_FALSE(CheckArchiveHeader(h));
  h.followUpNameLength = 1;
  h.followUpArgsLength = 260;
  EXPECT_FALSE(CheckArchiveHeader(h));
  // Without a name the arguments are never read, so their length cannot overflow.
  h.followUpNameLength = 0;
  h.followUpArgsLength = 65535;
  EXPECT_TRUE(CheckArchiveHeader(h));
}

TEST(ContainerChecks, FollowUpArgumentsCountOnlyWithAName) {
  ArchiveHeader h = ValidHeader();
  h.followUpArgsLength = 5;
  EXPECT_EQ(FollowUpStringsSize(h), 0u);
  h.followUpNameLength = 3;
  EXPECT_EQ(FollowUpStringsSize(h), 8u);
  h.followUpArgsLength = 0;
  EXPECT_EQ(FollowUpStringsSize(h), 3u);
}

TEST(ContainerChecks, EntryNeedsMagicAndANameOfOneTo519Bytes) {
  EXPECT_TRUE(CheckEntryHeader(EntryWithNameWord(1)));
  EXPECT_TRUE(CheckEntryHeader(EntryWithNameWord(0x8001)));
  EXPECT_TRUE(CheckEntryHeader(EntryWithNameWord(519)));
  EXPECT_TRUE(CheckEntryHeader(EntryWithNameWord(0x8000 | 519)));
  EXPECT_FALSE(CheckEntryHeader(EntryWithNameWord(0x8000)));
  EXPECT_FALSE(CheckEntryHeader(EntryWithNameWord(0)));
  EXPECT_FALSE(CheckEntryHeader(EntryWithNameWord(520)));
  EXPECT_FALSE(CheckEntryHeader(EntryWithNameWord(0x7FFF)));
  EntryHeader e = EntryWithNameWord(1);
  e.magic = 0x464C;  // "LF"
  EXPECT_FALSE(CheckEntryHeader(e));
}

TEST(ContainerChecks, ReadsMustEndAtOrBeforeTheTrailer) {
  EXPECT_TRUE(CheckFitsBeforeTrailer(90, 10, 100));
  EXPECT_TRUE(CheckFitsBeforeTrailer(100, 0, 100));
  EXPECT_FALSE(CheckFitsBeforeTrailer(90, 11, 100));
  EXPECT_FALSE(CheckFitsBeforeTrailer(101, 0, 100));
  // 32-bit sums that would wrap around below the trailer.
  EXPECT_FALSE(CheckFitsBeforeTrailer(10, 0xFFFFFFFFu, 100));
  EXPECT_FALSE(CheckFitsBeforeTrailer(0x80000000u, 0x80000000u, 0xFFFFFFF0u));
}

TEST(EntryNames, OrdinaryRelativeNamesAreAccepted) {
  for (const char* name : {"a.txt", "dir\\sub\\file.bin", "dir/sub/file", ".hidden", "a..b", "...txt",
                           "dir\\.\\file", "x.", "name with spaces\\f"}) {
    EXPECT_TRUE(SafeName(name)) << name;
  }
}

TEST(EntryNames, NamesThatLeaveTheDestinationAreRefused) {
  for (const char* name : {"..", "..\\evil.exe", "dir\\..", "a\\..\\..\\b", "../x", "a/../../b", "a\\../b",
                           "\\windows\\x", "/etc/x", "C:x", "C:\\x", "file.txt:stream", "dir\\c:\\x",
                           "...", ". .", ".. ", " ..", "a\\. .\\b", "a\\....\\b"}) {
    EXPECT_FALSE(SafeName(name)) << name;
  }
  EXPECT_FALSE(SafeName(std::string("a\0b", 3))) << "embedded zero";
  EXPECT_FALSE(SafeName(std::string("..\0x", 4))) << "zero hiding a parent";
  EXPECT_FALSE(SafeName(""));
}

TEST(EntryNames, DoubleByteCharactersAreSteppedOverWhole) {
  // 表 (95 5C), ソ (83 5C), 予定表 (97 5C 92 E8 95 5C): trail byte 0x5C.
  const std::string hyo = "\x95\x5C", so = "\x83\x5C", yoteihyo = "\x97\x5C\x92\xE8\x95\x5C";
  for (const std::string& name : {hyo, hyo + ".txt", so + "..", "dir\\" + yoteihyo + "\\" + so + ".dat",
                                  yoteihyo + "/" + hyo}) {
    EXPECT_TRUE(SafeName(name)) << name;
  }
  // Read byte by byte, ソ.. hides a parent component behind its 0x5C.
  EXPECT_FALSE(SafeName(so + "..", nullptr));
  // Real separators and parents around double-byte characters still count.
  EXPECT_FALSE(SafeName(hyo + "\\..\\..\\x"));
  EXPECT_FALSE(SafeName("\\" + hyo));
  // A lead byte with no trail byte, or with one below 0x40, is malformed.
  EXPECT_FALSE(SafeName("abc\x83"));
  EXPECT_FALSE(SafeName("..\x83/..\\x"));
  EXPECT_FALSE(SafeName("\x83:x"));
  EXPECT_FALSE(SafeName(std::string("\x83\0", 2)));
}

TEST(EntryNames, ShiftJisLeadBytesAreTheTwoRanges) {
  int leadBytes = 0;
  for (int b = 0; b < 256; ++b) {
    bool lead = IsShiftJisLeadByte(static_cast<uint8_t>(b));
    leadBytes += lead;
#ifdef _WIN32
    EXPECT_EQ(lead, IsDBCSLeadByteEx(932, static_cast<BYTE>(b)) != FALSE) << b;
#endif
  }
  EXPECT_EQ(leadBytes, (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1));
  EXPECT_TRUE(IsShiftJisLeadByte(0x81));
  EXPECT_FALSE(IsShiftJisLeadByte(0xA0));
  EXPECT_FALSE(IsShiftJisLeadByte(0x5C));
}
