#include "test_archives.h"

#include <algorithm>

#include "archive/stub_reader.h"
#include "archive/checksum.h"
#include "archive/integrity_record.h"
#include "extract/extract_status.h"

namespace {

const std::vector<uint8_t>& TestStub() {
  static std::vector<uint8_t> stub;
  if (stub.empty()) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    folder.erase(folder.find_last_of('\\') + 1);
    std::string content = ReadWholeFile(folder + "extract_test_stub.exe");
    stub.assign(content.begin(), content.end());
  }
  return stub;
}

ArchiveInput Entry(const std::string& name, const std::string& content, FileTime creation,
                   FileTime lastWrite, int level) {
  ArchiveInput input;
  input.name = name;
  input.content.assign(content.begin(), content.end());
  input.creationTime = creation;
  input.lastWriteTime = lastWrite;
  input.level = level;
  return input;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(path + "\\");
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// Kept alive for the reader, which holds on to the pointer.
char g_archivePath[MAX_PATH];

}  // namespace

ArchiveInput StoredEntry(const std::string& name, const std::string& content, FileTime creation,
                         FileTime lastWrite) {
  return Entry(name, content, creation, lastWrite, 0);
}

ArchiveInput CompressedEntry(const std::string& name, const std::string& content, FileTime creation,
                             FileTime lastWrite) {
  return Entry(name, content, creation, lastWrite, 6);
}

RecordPlace FindRecord(const std::vector<uint8_t>& image) {
  RecordPlace place;
  place.trailer = image.size() - kTrailerSize;
  place.footer = place.trailer - kIntegrityFooterSize;
  EXPECT_TRUE(HasIntegrityMarker(image.data() + place.footer)) << "the image carries no integrity record";
  IntegrityFooter footer = ParseIntegrityFooter(image.data() + place.footer);
  place.recordStart = place.trailer - IntegrityRecordSize(footer.entryCount);
  place.entriesEnd = place.recordStart - footer.paddingSize;
  return place;
}

std::vector<uint8_t> WithoutIntegrityRecord(const std::vector<uint8_t>& image) {
  RecordPlace place = FindRecord(image);
  std::vector<uint8_t> bare(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(place.entriesEnd));
  bare.insert(bare.end(), image.begin() + static_cast<std::ptrdiff_t>(place.trailer), image.end());
  return bare;
}

void ResealIntegrityRecord(std::vector<uint8_t>* image) {
  RecordPlace place = FindRecord(*image);
  uint8_t* record = image->data() + place.recordStart;
  uint32_t size = static_cast<uint32_t>(place.trailer - place.recordStart);
  StoreU32(record + size - 4, Checksum32(record, size - 4));
}

std::string SampleContent(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"folder ", "file ", "kaito ", "\x89\xf0\x93\x80 ", "data\r\n"};
  std::string text;
  uint32_t state = seed * 2654435761u + 1;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    if ((state >> 16) % 4 == 0)
      text.push_back(static_cast<char>(state >> 24));
    else
      text += kWords[(state >> 20) % 5];
  }
  text.resize(size);
  return text;
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string content(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  if (!content.empty()) ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &got, nullptr);
  CloseHandle(file);
  content.resize(got);
  return content;
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, content.size());
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

bool FileExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void ReadFileTimes(const std::string& path, FILETIME* lastAccess, FILETIME* lastWrite) {
  HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  GetFileTime(file, nullptr, lastAccess, lastWrite);
  CloseHandle(file);
}

bool SameTime(const FILETIME& a, const FileTime& b) {
  return a.dwLowDateTime == b.low && a.dwHighDateTime == b.high;
}

void ExtractTest::SetUp() {
  static int serial = 0;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  work_ = std::string(temp) + "kaito-extract-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(++serial) + "\\";
  RemoveTree(work_);
  ASSERT_TRUE(CreateDirectoryA(work_.c_str(), nullptr)) << work_;
  dest_ = work_ + "out\\";
  ASSERT_TRUE(CreateDirectoryA(dest_.c_str(), nullptr));
  ASSERT_LT(dest_.size(), sizeof DestDir);
  lstrcpyA(DestDir, dest_.c_str());
  SkipOverwritePrompt = 0;
  archivePath_ = work_ + "test.exe";
}

void ExtractTest::TearDown() {
  OverrideArchiveSource(nullptr, 0);
  RemoveTree(work_);
}

uint32_t ExtractTest::StubSize() const { return static_cast<uint32_t>(TestStub().size()); }

std::vector<uint8_t> ExtractTest::BuildImage(const std::vector<ArchiveInput>& entries,
                                             const ArchiveOptions& options) {
  std::vector<uint8_t> image;
  std::string error;
  EXPECT_FALSE(TestStub().empty()) << "the test stub is missing";
  EXPECT_TRUE(BuildSelfExtractingImage(TestStub(), entries, options, &image, &error)) << error;
  return image;
}

void ExtractTest::PatchArchive(std::vector<uint8_t>* image, const std::string& from,
                               const std::string& to) {
  ASSERT_EQ(from.size(), to.size());
  auto found = std::search(image->begin() + StubSize(), image->end(), from.begin(), from.end());
  ASSERT_NE(found, image->end()) << "not in the archive: " << from;
  std::copy(to.begin(), to.end(), found);
}

void ExtractTest::UseImage(const std::vector<uint8_t>& image) {
  WriteWholeFile(archivePath_, std::string(image.begin(), image.end()));
  lstrcpynA(g_archivePath, archivePath_.c_str(), MAX_PATH);
  OverrideArchiveSource(g_archivePath, StubSize());
}

void ExtractTest::UseArchive(const std::vector<ArchiveInput>& entries, const ArchiveOptions& options) {
  UseImage(BuildImage(entries, options));
}
