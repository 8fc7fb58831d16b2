// Opens an existing self-extracting file for list, test and extract: reads the
// locator from the stub's resource, checks the archive with the portable
// parser, and reads entry data on request.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/host_parser.h"

// What the PE checksum in the stub's header says about the file.
enum class StubCheck {
  WholeFile,  // it matches the whole file, as kaito writes it and signing tools keep it
  StubAlone,  // it matches the stub part with its locator 0: an older kaito copied the stub's own
  Absent,     // the field is 0: nothing to compare
  Mismatch,   // the file is damaged
};

class SelfExtractingFile {
 public:
  // Throws CommandFailure with what is wrong and where.
  explicit SelfExtractingFile(const std::filesystem::path& path);

  const ArchiveHeader& header() const { return parser_.header; }
  const ArchiveParser& parser() const { return parser_; }
  uint32_t locator() const { return parser_.locator; }
  uint64_t fileSize() const { return fileSize_; }

  // The next entry (header, name, data place); throws on a corrupt entry.
  ParsedEntry NextEntry();
  std::vector<uint8_t> ReadData(const ParsedEntry& entry);
  // Decodes a compressed entry's block (the data as read); throws when it is corrupt.
  std::vector<uint8_t> Decode(const ParsedEntry& entry, const std::vector<uint8_t>& block);
  // The entry's content: read, decoded when compressed, and checked against
  // the integrity record when the file has one; throws when anything is wrong.
  std::vector<uint8_t> Content(const ParsedEntry& entry);
  // After the last entry: with an integrity record, the entries must end
  // where the record begins; throws otherwise.
  void Finish();
  // After Finish: the bytes between the last entry and the trailer of a file
  // without a record, which every reader (the stub too) steps over.
  uint32_t BytesBehindEntries() const {
    return parser_.record.present ? 0 : parser_.trailerPosition - parser_.position;
  }
  // Reads the whole file once to compare it with the stub's PE checksum.
  StubCheck CheckStub();
  uint64_t checksumField() const { return checksumField_; }
  // Whether the stub carries an application manifest, and the execution
  // level it asks for ("" for none).
  bool HasManifest() const { return hasManifest_; }
  const std::string& ExecutionLevel() const { return executionLevel_; }
  // Whether the file carries an integrity record (content checksums).
  bool HasIntegrityRecord() const { return parser_.record.present; }
  bool IsSigned() const { return parser_.certificateTable.size != 0; }
  // "<file>: corrupt self-extracting file: <what> at offset N"
  [[noreturn]] void Corrupt(const char* what, uint32_t offset) const;

 private:
  static bool ReadAt(void* context, uint32_t offset, void* buffer, uint32_t size);

  std::string label_;
  std::ifstream in_;
  uint64_t fileSize_ = 0;
  uint64_t locatorOffset_ = 0;  // the locator resource's bytes in the stub part
  uint64_t checksumField_ = 0;  // 0: the stub has no PE header to hold one
  bool hasManifest_ = false;
  std::string executionLevel_;
  ArchiveParser parser_;
};
