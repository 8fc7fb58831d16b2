// Test archives and the folder each test works in.  The archives come from the
// producer's writer, appended to a tiny stub that carries a locator resource;
// the worker is pointed at them with OverrideArchiveSource.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/archive_writer.h"

ArchiveInput StoredEntry(const std::string& name, const std::string& content,
                         FileTime creation = FileTime{0x11223344, 0x01D00000},
                         FileTime lastWrite = FileTime{0x55667788, 0x01D10000});
ArchiveInput CompressedEntry(const std::string& name, const std::string& content,
                             FileTime creation = FileTime{0x11223344, 0x01D00000},
                             FileTime lastWrite = FileTime{0x55667788, 0x01D10000});
// Varied bytes that compress somewhat: repeated words and noise.
std::string SampleContent(size_t size, uint32_t seed);

// The worker's ReadFile calls before the first entry, for a file from the
// writer (it carries an integrity record) on the test stub; the follow-up
// strings come next, then per entry its header, name and data, and after the
// last entry the padding in front of the record.
enum ArchiveRead {
  kReadPeOffset = 1,   // the PE header's offset at 0x3C
  kReadPeHeader,       // the PE header up to the certificate-table entry
  kReadTrailer,        // the bytes in front of the archive's end
  kReadArchiveHeader,
  kReadRecordFooter,
  kReadRecord,         // the whole integrity record
  kReadFirstAfterRecord,
};

// Where the integrity record of an image from the writer lies.
struct RecordPlace {
  size_t trailer;      // the trailer's offset (the image is not signed)
  size_t footer;       // the footer's offset
  size_t recordStart;  // the first entry check
  size_t entriesEnd;   // where the padding in front of the record begins
};
RecordPlace FindRecord(const std::vector<uint8_t>& image);
// The same file as today's readers knew it: padding and record cut out.
std::vector<uint8_t> WithoutIntegrityRecord(const std::vector<uint8_t>& image);
// Recomputes the record's own checksum after a test changed one of its fields.
void ResealIntegrityRecord(std::vector<uint8_t>* image);

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);    // a file, not a folder
bool FolderExists(const std::string& path);
DWORD Attributes(const std::string& path);
// The names in a folder (ending in a backslash), without "." and "..".
std::vector<std::string> ListFolder(const std::string& folder);
// Last-access and last-write times as the file system keeps them; read these
// before the content, since a read can move the access time.
void ReadFileTimes(const std::string& path, FILETIME* lastAccess, FILETIME* lastWrite);
bool SameTime(const FILETIME& a, const FileTime& b);

class ExtractTest : public ::testing::Test {
 protected:
  // A fresh work folder below the temp folder, DestDir = <work>\out\ (made),
  // SkipOverwritePrompt clear.
  void SetUp() override;
  // Restores the reader's normal source and removes the work folder.
  void TearDown() override;

  // Builds the self-extracting file and points the worker at it.
  void UseArchive(const std::vector<ArchiveInput>& entries, const ArchiveOptions& options = ArchiveOptions());
  std::vector<uint8_t> BuildImage(const std::vector<ArchiveInput>& entries,
                                  const ArchiveOptions& options = ArchiveOptions());
  // Points the worker at these bytes, the archive starting behind the stub.
  void UseImage(const std::vector<uint8_t>& image);
  uint32_t StubSize() const;
  // Replaces the first occurrence of `from` behind the stub with `to` (same
  // length), for what the writer would refuse to produce.
  void PatchArchive(std::vector<uint8_t>* image, const std::string& from, const std::string& to);

  std::string work_;  // ends in a backslash
  std::string dest_;  // equals DestDir
  std::string archivePath_;
};
