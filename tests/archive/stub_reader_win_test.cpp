// The stub's Win32 reader, on real files: every container check gives its
// failure class, no declared size makes it read or allocate past the trailer
// or write past a buffer, unsafe names are refused, the cancel test is
// consulted at exactly three points, and the file is closed on every path.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>

#include "archive/stub_reader.h"
#include "archive_bytes.h"
#include "win_test_files.h"

namespace {

constexpr uint32_t kStubSize = 3000;

struct ReadEntry {
  ReaderOutcome headerOutcome;
  EntryHeader header;
  std::string name;
  ReaderOutcome dataOutcome;
  std::string data;
};

// ReadEntryHeader, then ReadEntryData when the header was read.
ReadEntry NextEntry(OpenArchive* archive) {
  ReadEntry e{};
  char name[kNameBufferSize];
  e.headerOutcome = ReadEntryHeader(archive, &e.header, name);
  if (e.headerOutcome != ReaderOutcome::Ok) return e;
  e.name = std::string(name, strnlen(name, kNameBufferSize));
  uint8_t* data = nullptr;
  e.dataOutcome = ReadEntryData(archive, e.header, &data);
  if (e.dataOutcome == ReaderOutcome::Ok) {
    EXPECT_NE(data, nullptr);
    e.data.assign(reinterpret_cast<char*>(data), e.header.dataSize);
    HeapFree(GetProcessHeap(), 0, data);
  }
  return e;
}

ReaderOutcome Locate(const TempFile& file, uint32_t locator, OpenArchive* archive, CancelTest cancel = nullptr) {
  return LocateArchiveAt(file.path(), locator, cancel, archive);
}

// An archive with one stored entry, ready for a trailer.
ArchiveBytes OneEntryArchive(const std::string& name, uint16_t automaticMode = 0) {
  ArchiveBytes a(kStubSize);
  a.Header(ArchiveBytes::MakeHeader(1, 5, automaticMode)).Entry({name, "hello"});
  return a;
}

// The outcome of the first entry header of an archive holding that one entry.
ReaderOutcome FirstEntryOutcome(ArchiveBytes& archiveBytes, const char* fileName) {
  TempFile file(fileName, archiveBytes.bytes());
  OpenArchive archive;
  EXPECT_EQ(Locate(file, archiveBytes.locator(), &archive), ReaderOutcome::Ok);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  ReaderOutcome outcome = NextEntry(&archive).headerOutcome;
  CloseArchive(&archive);
  return outcome;
}

int g_cancelCalls = 0;
int g_cancelAt = 0;  // the consultation that answers true; 0: never
bool CountingCancel() { return ++g_cancelCalls == g_cancelAt; }

}  // namespace

TEST(ArchiveReaderWin, WalksAValidArchive) {
  ArchiveBytes a(kStubSize);
  a.Header(ArchiveBytes::MakeHeader(2, 5 + 300, 0, 9, 2)).Text("setup.exe").Text("/q");
  TestEntry stored{"readme.txt", "hello", true, {0x89ABCDEF, 0x01D9F000}, {0x76543210, 0x01DA0000}};
  TestEntry packed{"dir\\sub\\data.bin", std::string(300, 'z'), false};
  a.Entry(stored).Entry(packed).Trailer();
  TempFile file("valid.bin", a.bytes());

  OpenArchive archive;
  ASSERT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::Ok);
  EXPECT_EQ(archive.position, kStubSize + 16);
  EXPECT_EQ(archive.header.entryCount, 2);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  std::memset(followUpName, 'x', sizeof followUpName);
  std::memset(followUpArgs, 'x', sizeof followUpArgs);
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  EXPECT_STREQ(followUpName, "setup.exe");
  EXPECT_STREQ(followUpArgs, "/q");
  EXPECT_EQ(followUpName[kFollowUpBufferSize - 1], 0);

  ReadEntry first = NextEntry(&archive);
  ASSERT_EQ(first.headerOutcome, ReaderOutcome::Ok);
  ASSERT_EQ(first.dataOutcome, ReaderOutcome::Ok);
  EXPECT_EQ(first.name, "readme.txt");
  EXPECT_TRUE(EntryIsStored(first.header));
  EXPECT_EQ(first.header.creationTime.low, 0x89ABCDEFu);
  EXPECT_EQ(first.header.creationTime.high, 0x01D9F000u);
  EXPECT_EQ(first.header.lastWriteTime.low, 0x76543210u);
  EXPECT_EQ(first.data, "hello");

  ReadEntry second = NextEntry(&archive);
  ASSERT_EQ(second.dataOutcome, ReaderOutcome::Ok);
  EXPECT_EQ(second.name, "dir\\sub\\data.bin");
  EXPECT_FALSE(EntryIsStored(second.header));
  EXPECT_EQ(second.data, std::string(300, 'z'));
  EXPECT_EQ(archive.position, archive.trailerPosition);
  CloseArchive(&archive);
  EXPECT_TRUE(file.NotOpenElsewhere());
}

TEST(ArchiveReaderWin, OpensForSharedReadingWithAnInheritableHandle) {
  ArchiveBytes a = OneEntryArchive("a.txt");
  a.Trailer();
  TempFile file("sharing.bin", a.bytes());
  OpenArchive archive;
  ASSERT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::Ok);
  DWORD flags = 0;
  ASSERT_TRUE(GetHandleInformation(archive.file.Get(), &flags));
  EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT);
  HANDLE reader = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE) << "a second reader is let in";
  if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
  EXPECT_FALSE(file.NotOpenElsewhere()) << "writers are kept out";
  CloseArchive(&archive);
  EXPECT_TRUE(file.NotOpenElsewhere());
}

TEST(ArchiveReaderWin, TrailerMismatchIsCorruptAndClosesTheFile) {
  ArchiveBytes a = OneEntryArchive("a.txt");
  a.Trailer();
  std::vector<uint8_t> truncated(a.bytes().begin(), a.bytes().end() - 1);
  std::vector<uint8_t> appended = a.bytes();
  appended.push_back(0);
  for (const std::vector<uint8_t>* bytes : {&truncated, &appended}) {
    TempFile file("trailer.bin", *bytes);
    OpenArchive archive;
    EXPECT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::CorruptArchive);
    EXPECT_FALSE(archive.file.IsOpen());
    EXPECT_TRUE(file.NotOpenElsewhere());
    int automatic = 1;
    EXPECT_EQ(ReadArchiveSummaryAt(file.path(), a.locator(), &automatic), 0u);
    EXPECT_EQ(automatic, 0);
    EXPECT_TRUE(file.NotOpenElsewhere());
  }
}

TEST(ArchiveReaderWin, FilesTooShortForHeaderOrTrailerAreRefused) {
  ArchiveBytes a(kStubSize);
  a.Text(std::string(15, 'h')).Trailer();  // stub + 15 + trailer < L + 20
  TempFile file("short.bin", a.bytes());
  OpenArchive archive;
  EXPECT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::CorruptArchive);
  EXPECT_TRUE(file.NotOpenElsewhere());

  TempFile tiny("tiny.bin", {1, 2, 3});  // fewer than 4 bytes for the trailer
  EXPECT_EQ(Locate(tiny, 0x00030201, &archive), ReaderOutcome::ReadFailure);
  EXPECT_TRUE(tiny.NotOpenElsewhere());
}

TEST(ArchiveReaderWin, BadHeadersAreCorrupt) {
  ArchiveHeader badMagic = ArchiveBytes::MakeHeader(1);
  badMagic.magic = 0x4C42;
  ArchiveHeader size17 = ArchiveBytes::MakeHeader(1);
  size17.headerSize = 17;
  ArchiveHeader longName = ArchiveBytes::MakeHeader(0, 0, 0, 260, 0);
  for (const ArchiveHeader& header : {badMagic, size17, longName}) {
    ArchiveBytes a(kStubSize);
    a.Header(header).Text(std::string(300, 'n')).Trailer();
    TempFile file("header.bin", a.bytes());
    OpenArchive archive;
    EXPECT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::CorruptArchive);
    EXPECT_TRUE(file.NotOpenElsewhere());
  }
}

TEST(ArchiveReaderWin, NoEntriesStillReadsTheFollowUpStrings) {
  ArchiveBytes a(kStubSize);
  std::string name(259, 'p');
  a.Header(ArchiveBytes::MakeHeader(0, 0, 0, 259, 2)).Text(name).Text("-x").Trailer();
  TempFile file("empty.bin", a.bytes());
  OpenArchive archive;
  ASSERT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::Ok);
  EXPECT_EQ(archive.header.entryCount, 0);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  std::memset(followUpName, 'x', sizeof followUpName);
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  EXPECT_EQ(std::string(followUpName), name);  // 259 bytes and the terminating zero
  EXPECT_STREQ(followUpArgs, "-x");
  CloseArchive(&archive);
}

TEST(ArchiveReaderWin, ArgumentsWithoutANameAreNotReadSoTheEntryIsCorrupt) {
  ArchiveBytes a(kStubSize);
  a.Header(ArchiveBytes::MakeHeader(1, 5, 0, 0, 5)).Text("hello").Entry({"a.txt", "hello"}).Trailer();
  TempFile file("args.bin", a.bytes());
  OpenArchive archive;
  ASSERT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::Ok);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  EXPECT_STREQ(followUpName, "");
  EXPECT_STREQ(followUpArgs, "");
  EXPECT_EQ(NextEntry(&archive).headerOutcome, ReaderOutcome::CorruptArchive);
  CloseArchive(&archive);
}

TEST(ArchiveReaderWin, EntryHeaderChecks) {
  ArchiveBytes noName(kStubSize);
  noName.Header(ArchiveBytes::MakeHeader(1)).RawEntry(0x8000, 0, "", "").Trailer();
  EXPECT_EQ(FirstEntryOutcome(noName, "noname.bin"), ReaderOutcome::CorruptArchive);

  ArchiveBytes badMagic(kStubSize);
  badMagic.Header(ArchiveBytes::MakeHeader(1)).Entry({"a.txt", "x"}).Trailer();
  badMagic.bytes()[kStubSize + 16] = 'G';
  EXPECT_EQ(FirstEntryOutcome(badMagic, "entrymagic.bin"), ReaderOutcome::CorruptArchive);
}

TEST(ArchiveReaderWin, EmptyStoredEntryAndBytesBeforeTheTrailer) {
  ArchiveBytes a(kStubSize);
  TestEntry empty{"empty.txt", "", true, {5, 6}, {7, 8}};
  a.Header(ArchiveBytes::MakeHeader(2, 3)).Entry(empty).Entry({"b.txt", "abc"}).Text(std::string(100, '\xEE')).Trailer();
  TempFile file("emptyentry.bin", a.bytes());
  OpenArchive archive;
  ASSERT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::Ok);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  ReadEntry first = NextEntry(&archive);
  ASSERT_EQ(first.dataOutcome, ReaderOutcome::Ok);
  EXPECT_EQ(first.data, "");
  EXPECT_EQ(first.header.creationTime.low, 5u);
  EXPECT_EQ(first.header.lastWriteTime.low, 7u);
  ReadEntry second = NextEntry(&archive);
  ASSERT_EQ(second.dataOutcome, ReaderOutcome::Ok);
  EXPECT_EQ(second.data, "abc");
  CloseArchive(&archive);
}

TEST(ArchiveReaderWin, SummaryReportsAutomaticModeAndRequiredSize) {
  for (uint16_t mode : {uint16_t{0}, uint16_t{1}, uint16_t{2}}) {
    ArchiveBytes a(kStubSize);
    a.Header(ArchiveBytes::MakeHeader(1, 123456, mode)).Entry({"a.txt", "x"}).Trailer();
    TempFile file("summary.bin", a.bytes());
    int automatic = 7;
    EXPECT_EQ(ReadArchiveSummaryAt(file.path(), a.locator(), &automatic), 123456u);
    EXPECT_EQ(automatic, mode != 0 ? 1 : 0);
    EXPECT_EQ(ReadArchiveSummaryAt(file.path(), a.locator(), nullptr), 123456u);
    EXPECT_TRUE(file.NotOpenElsewhere());
  }
}

TEST(ArchiveReaderWin, OverlongNamesAreRefusedWithoutWritingPastTheBuffer) {
  ArchiveBytes fits(kStubSize);
  std::string name519(519, 'n');
  fits.Header(ArchiveBytes::MakeHeader(1)).Entry({name519, "x"}).Trailer();
  EXPECT_EQ(FirstEntryOutcome(fits, "name519.bin"), ReaderOutcome::Ok);

  ArchiveBytes tooLong(kStubSize);
  tooLong.Header(ArchiveBytes::MakeHeader(1)).Entry({std::string(520, 'n'), "x"}).Trailer();
  TempFile file("name520.bin", tooLong.bytes());
  OpenArchive archive;
  ASSERT_EQ(Locate(file, tooLong.locator(), &archive), ReaderOutcome::Ok);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  char name[kNameBufferSize + 64];
  std::memset(name, '#', sizeof name);
  EntryHeader entry;
  EXPECT_EQ(ReadEntryHeader(&archive, &entry, name), ReaderOutcome::CorruptArchive);
  EXPECT_EQ(std::string(name + kNameBufferSize, 64), std::string(64, '#'));
  CloseArchive(&archive);
}

TEST(ArchiveReaderWin, DeclaredSizesPastTheTrailerAreCorruptBeforeAllocating) {
  // dataSize one byte too many, and one that no heap could satisfy: both are
  // refused as corrupt, not read short and not answered with OutOfMemory.
  for (uint32_t dataSize : {6u, 0xFFFFFFF0u}) {
    ArchiveBytes a(kStubSize);
    a.Header(ArchiveBytes::MakeHeader(1)).RawEntry(0x8005, dataSize, "a.txt", "hello").Trailer();
    TempFile file("datasize.bin", a.bytes());
    OpenArchive archive;
    ASSERT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::Ok);
    char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
    ReadFollowUpStrings(&archive, followUpName, followUpArgs);
    ReadEntry e = NextEntry(&archive);
    EXPECT_EQ(e.headerOutcome, ReaderOutcome::Ok);
    EXPECT_EQ(e.dataOutcome, ReaderOutcome::CorruptArchive) << dataSize;
    CloseArchive(&archive);
  }
  // A name running into the trailer.
  ArchiveBytes longName(kStubSize);
  longName.Header(ArchiveBytes::MakeHeader(1)).RawEntry(0x8000 | 300, 0, "short", "").Trailer();
  EXPECT_EQ(FirstEntryOutcome(longName, "namesize.bin"), ReaderOutcome::CorruptArchive);

  // More entries announced than present: the next header would overlap the trailer.
  ArchiveBytes missing(kStubSize);
  missing.Header(ArchiveBytes::MakeHeader(2)).Entry({"a.txt", "x"}).Trailer();
  TempFile file("count.bin", missing.bytes());
  OpenArchive archive;
  ASSERT_EQ(Locate(file, missing.locator(), &archive), ReaderOutcome::Ok);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  EXPECT_EQ(NextEntry(&archive).dataOutcome, ReaderOutcome::Ok);
  EXPECT_EQ(NextEntry(&archive).headerOutcome, ReaderOutcome::CorruptArchive);
  CloseArchive(&archive);
}

TEST(ArchiveReaderWin, NamesLeavingTheDestinationAreRefused) {
  for (const char* name : {"..\\evil.exe", "a/../../b", "\\abs.txt", "/abs.txt", "C:evil", "x:stream", ". .\\x"}) {
    ArchiveBytes a = OneEntryArchive(name);
    a.Trailer();
    EXPECT_EQ(FirstEntryOutcome(a, "traversal.bin"), ReaderOutcome::CorruptArchive) << name;
  }
  // ソ (83 5C) and 表 (95 5C) under the system's code page 932: the 0x5C is no separator.
  for (const char* name : {"\x83\x5C..\\file.txt", "\x95\x5C\\\x95\x5C.txt"}) {
    ArchiveBytes a = OneEntryArchive(name);
    a.Trailer();
    EXPECT_EQ(FirstEntryOutcome(a, "japanese.bin"), ReaderOutcome::Ok) << name;
  }
}

TEST(ArchiveReaderWin, CancelIsConsultedAtThreePointsAndClosesTheFile) {
  ArchiveBytes a = OneEntryArchive("a.txt");
  a.Trailer();
  TempFile file("cancel.bin", a.bytes());
  for (int point = 1; point <= 3; ++point) {
    g_cancelCalls = 0;
    g_cancelAt = point;
    OpenArchive archive;
    EXPECT_EQ(Locate(file, a.locator(), &archive, CountingCancel), ReaderOutcome::Cancelled) << point;
    EXPECT_EQ(g_cancelCalls, point);
    EXPECT_FALSE(archive.file.IsOpen());
    EXPECT_TRUE(file.NotOpenElsewhere()) << point;
  }
  g_cancelCalls = 0;
  g_cancelAt = 0;
  OpenArchive archive;
  EXPECT_EQ(Locate(file, a.locator(), &archive, CountingCancel), ReaderOutcome::Ok);
  EXPECT_EQ(g_cancelCalls, 3);
  CloseArchive(&archive);

  // A check that fails before a later point is reported, not cancelled.
  TempFile broken("cancel_broken.bin", std::vector<uint8_t>(a.bytes().begin(), a.bytes().end() - 1));
  g_cancelCalls = 0;
  g_cancelAt = 3;
  EXPECT_EQ(Locate(broken, a.locator(), &archive, CountingCancel), ReaderOutcome::CorruptArchive);
  EXPECT_EQ(g_cancelCalls, 2);
}

TEST(ArchiveReaderWin, MissingFileCannotStart) {
  OpenArchive archive;
  EXPECT_EQ(LocateArchiveAt("C:\\no\\such\\kaito\\file.exe", 100, nullptr, &archive), ReaderOutcome::CannotStart);
  EXPECT_EQ(ReadArchiveSummaryAt("C:\\no\\such\\kaito\\file.exe", 100, nullptr), 0u);
}

TEST(ArchiveReaderWin, OverrideRedirectsTheOwnFileEntryPoints) {
  ArchiveBytes a = OneEntryArchive("a.txt", 1);
  a.Trailer();
  TempFile file("override.bin", a.bytes());
  OverrideArchiveSource(file.path(), a.locator());
  OpenArchive archive;
  g_cancelCalls = 0;
  g_cancelAt = 0;
  EXPECT_EQ(LocateArchive(CountingCancel, &archive), ReaderOutcome::Ok);
  EXPECT_EQ(g_cancelCalls, 3);
  CloseArchive(&archive);
  g_cancelCalls = 0;
  g_cancelAt = 1;
  EXPECT_EQ(LocateArchive(CountingCancel, &archive), ReaderOutcome::Cancelled);
  int automatic = 0;
  EXPECT_EQ(ReadArchiveSummary(&automatic), 5u);
  EXPECT_EQ(automatic, 1);

  // This test program carries no locator resource of its own.
  OverrideArchiveSource(nullptr, 0);
  uint32_t locator = 0;
  EXPECT_FALSE(ReadLocator(GetModuleHandleA(nullptr), &locator));
  EXPECT_EQ(LocateArchive(nullptr, &archive), ReaderOutcome::CannotStart);
  EXPECT_FALSE(archive.file.IsOpen());
  automatic = 1;
  EXPECT_EQ(ReadArchiveSummary(&automatic), 0u);
  EXPECT_EQ(automatic, 0);
  EXPECT_TRUE(file.NotOpenElsewhere());
}

namespace {

// Every step of a whole walk, the record's checks included: Ok, or the first
// step that was not.
ReaderOutcome WalkWhole(ArchiveBytes& a, const char* fileName, uint32_t* requiredSize = nullptr) {
  TempFile file(fileName, a.bytes());
  OpenArchive archive;
  ReaderOutcome outcome = Locate(file, a.locator(), &archive);
  if (outcome != ReaderOutcome::Ok) return outcome;
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  outcome = CheckArchiveStart(&archive, followUpName, followUpArgs);
  for (uint32_t i = 0; i < archive.header.entryCount && outcome == ReaderOutcome::Ok; ++i) {
    ReadEntry e = NextEntry(&archive);
    outcome = e.headerOutcome != ReaderOutcome::Ok ? e.headerOutcome : e.dataOutcome;
    if (outcome == ReaderOutcome::Ok)
      outcome = CheckEntryContent(&archive, reinterpret_cast<const uint8_t*>(e.data.data()),
                                  static_cast<uint32_t>(e.data.size()));
  }
  if (outcome == ReaderOutcome::Ok) outcome = FinishArchive(&archive);
  CloseArchive(&archive);
  EXPECT_EQ(archive.record, nullptr) << "the record's buffer is released with the file";
  EXPECT_TRUE(file.NotOpenElsewhere());
  if (requiredSize != nullptr) *requiredSize = ReadArchiveSummaryAt(file.path(), a.locator(), nullptr);
  return outcome;
}

// Two entries behind a PE stub, with follow-up strings; with or without a record.
ArchiveBytes PeArchive(bool withRecord) {
  ArchiveBytes a(ArchiveBytes::PeStub(kStubSize));
  a.Header(ArchiveBytes::MakeHeader(2, 4321, 0, 5, 2)).Text("a.exe").Text("-q");
  a.Entry({"a.txt", "hello"}).Entry({"d\\b.bin", std::string(40, 'b')});
  if (withRecord) a.Record();
  return a.Trailer();
}

}  // namespace

TEST(ArchiveReaderSigned, SignedFileWithARecordReadsWhole) {
  ArchiveBytes a = PeArchive(true);
  ASSERT_EQ(a.Size() % 8, 0u);
  a.Sign(0, 1024);
  uint32_t required = 0;
  EXPECT_EQ(WalkWhole(a, "signed.bin", &required), ReaderOutcome::Ok);
  EXPECT_EQ(required, 4321u) << "the summary finds the signed file's archive too";
}

// Files from before the record, signed as they were: their length was not a
// multiple of 8, so the signing tool put zero bytes between trailer and table.
TEST(ArchiveReaderSigned, OlderFileSignedWithPaddingReads) {
  for (uint32_t padding = 0; padding <= kSignerPaddingLimit; ++padding) {
    SCOPED_TRACE("padding " + std::to_string(padding));
    ArchiveBytes a = PeArchive(false);
    a.Sign(padding, 16);
    uint32_t required = 0;
    EXPECT_EQ(WalkWhole(a, "oldsigned.bin", &required), ReaderOutcome::Ok);
    EXPECT_EQ(required, 4321u);
  }
}

TEST(ArchiveReaderSigned, WhatASigningToolWouldNotWriteIsCorrupt) {
  struct Case { const char* what; std::function<void(ArchiveBytes&)> damage; };
  const Case kCases[] = {
      {"bytes appended behind the table", [](ArchiveBytes& a) { a.Sign(0, 16).Text("x"); }},
      {"a table that starts elsewhere", [](ArchiveBytes& a) { a.Sign(0, 16); a.SetCertificateEntry(a.Size() - 20, 16); }},
      {"a table that would run past the end", [](ArchiveBytes& a) { a.Sign(0, 16); a.SetCertificateEntry(a.Size() - 16, 17); }},
      {"a table entry of offset and no size", [](ArchiveBytes& a) { a.SetCertificateEntry(a.locator(), 0); }},
      {"a table starting past the end", [](ArchiveBytes& a) { a.SetCertificateEntry(a.Size() + 8, 8); }},
      {"eight bytes of padding", [](ArchiveBytes& a) { a.Sign(8, 16); }},
      {"padding that is not zero", [](ArchiveBytes& a) { a.Text(std::string(1, '\1')).Sign(2, 16); }},
      {"zero bytes behind the trailer of an unsigned file", [](ArchiveBytes& a) { a.Text(std::string(3, '\0')); }},
  };
  for (bool withRecord : {false, true}) {
    for (const Case& c : kCases) {
      SCOPED_TRACE(std::string(c.what) + (withRecord ? ", with a record" : ", without a record"));
      ArchiveBytes a = PeArchive(withRecord);
      c.damage(a);
      EXPECT_EQ(WalkWhole(a, "badsigned.bin"), ReaderOutcome::CorruptArchive);
    }
  }
}

TEST(ArchiveReaderIntegrity, EveryChangeToACoveredByteIsCorrupt) {
  ArchiveBytes intact = PeArchive(true);
  ASSERT_EQ(WalkWhole(intact, "intact.bin"), ReaderOutcome::Ok);
  const uint32_t start = intact.locator();
  const uint32_t footer = intact.Size() - kTrailerSize - kIntegrityFooterSize;
  struct Case { const char* what; uint32_t offset; };
  const Case kCases[] = {
      {"automatic mode", start + 6},
      {"required size", start + 12},
      {"follow-up name", start + 16},
      {"follow-up arguments", start + 16 + 5 + 1},
      {"first entry's time", start + 16 + 7 + 4},
      {"first entry's name", start + 16 + 7 + 24},
      {"first entry's data", start + 16 + 7 + 24 + 5},
      {"second entry's name", start + 16 + 7 + 34 + 24 + 3},
      {"second entry's last data byte", start + 16 + 7 + 34 + 24 + 7 + 39},
      {"first entry check", footer - 16},
      {"second entry check", footer - 1},
      {"start check", footer + 16},
      {"record checksum", footer + 20},
      {"marker", footer + 7},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ArchiveBytes a = intact;
    a.bytes()[c.offset] ^= 0x08;
    EXPECT_EQ(WalkWhole(a, "changed.bin"), ReaderOutcome::CorruptArchive);
  }
}

TEST(ArchiveReaderIntegrity, ChangesTheRecordCannotSeeStillReadAsBefore) {
  // Bytes a reader never takes (a change in the stub part, and a marker with
  // 4 of its 8 bytes changed, which makes the record look absent) leave a
  // file that reads as one without a record.
  ArchiveBytes a = PeArchive(true);
  a.bytes()[kStubSize - 1] ^= 0xFF;
  EXPECT_EQ(WalkWhole(a, "stubchange.bin"), ReaderOutcome::Ok);
  ArchiveBytes markerGone = PeArchive(true);
  uint32_t footer = markerGone.Size() - kTrailerSize - kIntegrityFooterSize;
  for (uint32_t i = 0; i < 4; ++i) markerGone.bytes()[footer + i] = '#';
  TempFile file("markergone.bin", markerGone.bytes());
  OpenArchive archive;
  ASSERT_EQ(Locate(file, markerGone.locator(), &archive), ReaderOutcome::Ok);
  EXPECT_EQ(archive.record, nullptr);
  CloseArchive(&archive);
}

TEST(ArchiveReaderIntegrity, InconsistentRecordsAreCorrupt) {
  ArchiveBytes intact = PeArchive(true);
  const uint32_t footer = intact.Size() - kTrailerSize - kIntegrityFooterSize;
  // Fields changed and the record's own checksum made to match again, so
  // that only the field's consistency is judged.
  auto reseal = [footer](ArchiveBytes& a) {
    uint32_t recordStart = footer - 2 * kEntryCheckSize;
    StoreU32(a.bytes().data() + footer + 20, Checksum32(a.bytes().data() + recordStart, footer + 20 - recordStart));
  };
  struct Case { const char* what; uint32_t field; uint32_t value; };
  const Case kCases[] = {
      {"entry count above the header's", footer + 8, 3},
      {"entry count below the header's", footer + 8, 1},
      {"padding of 8", footer + 12, 8},
      {"padding one byte too small", footer + 12, LoadU32(intact.bytes().data() + footer + 12) - 1},
      {"padding one byte too large", footer + 12, LoadU32(intact.bytes().data() + footer + 12) + 1},
  };
  ASSERT_GE(LoadU32(intact.bytes().data() + footer + 12), 1u) << "pick contents that leave padding";
  ASSERT_LE(LoadU32(intact.bytes().data() + footer + 12), 6u);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    ArchiveBytes a = intact;
    StoreU32(a.bytes().data() + c.field, c.value);
    reseal(a);
    EXPECT_EQ(WalkWhole(a, "inconsistent.bin"), ReaderOutcome::CorruptArchive);
  }
  // A record too large for the archive it sits in.
  ArchiveBytes small(ArchiveBytes::PeStub(kStubSize));
  small.Header(ArchiveBytes::MakeHeader(0)).Text(std::string(20, '\0'));
  std::vector<uint8_t> footerBytes(kIntegrityFooterSize);
  IntegrityFooter f{};
  std::copy(kIntegrityMarker, kIntegrityMarker + kIntegrityMarkerSize, f.marker);
  SerializeIntegrityFooter(f, footerBytes.data());
  small.Text(std::string(footerBytes.begin(), footerBytes.end()));
  small.bytes()[small.Size() - kIntegrityFooterSize + 8] = 1;  // one entry, where the header has none
  small.Trailer();
  EXPECT_EQ(WalkWhole(small, "toolarge.bin"), ReaderOutcome::CorruptArchive);
}

TEST(ArchiveReaderIntegrity, NoEntryBeyondTheRecordsCountIsRead) {
  ArchiveBytes a = PeArchive(true);
  TempFile file("beyond.bin", a.bytes());
  OpenArchive archive;
  ASSERT_EQ(Locate(file, a.locator(), &archive), ReaderOutcome::Ok);
  char followUpName[kFollowUpBufferSize], followUpArgs[kFollowUpBufferSize];
  ReadFollowUpStrings(&archive, followUpName, followUpArgs);
  EXPECT_EQ(NextEntry(&archive).dataOutcome, ReaderOutcome::Ok);
  EXPECT_EQ(NextEntry(&archive).dataOutcome, ReaderOutcome::Ok);
  EXPECT_EQ(NextEntry(&archive).headerOutcome, ReaderOutcome::CorruptArchive) << "the record lies behind the entries";
  CloseArchive(&archive);
}
