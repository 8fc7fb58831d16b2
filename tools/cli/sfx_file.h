// Opens an existing self-extracting file for list, test and extract: reads the
// locator from the stub's resource, checks the archive with the portable
// parser, and reads entry data on request.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/archive_parser.h"

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
  // "<file>: corrupt self-extracting file: <what> at offset N"
  [[noreturn]] void Corrupt(const char* what, uint32_t offset) const;

 private:
  static bool ReadAt(void* context, uint32_t offset, void* buffer, uint32_t size);

  std::string label_;
  std::ifstream in_;
  uint64_t fileSize_ = 0;
  ArchiveParser parser_;
};
