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
  // After the last entry: the entries must end where the record (or, without
  // one, the trailer) begins; throws otherwise.
  void Finish();
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
  ArchiveParser parser_;
};
