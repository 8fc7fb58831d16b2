// The entries and the header of a self-extracting file as list shows them,
// as text and as JSON.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/sfx_file.h"

struct ListedEntry {
  std::string storedName;  // the name's bytes, code page 932
  bool stored = false;
  uint64_t size = 0;    // decoded size
  uint64_t packed = 0;  // bytes in the file
  FileTime created{0, 0};
  FileTime lastWritten{0, 0};
};

// Reads every entry header (and a compressed entry's block header for its
// size); throws CommandFailure on a damaged file.
std::vector<ListedEntry> ReadListing(SelfExtractingFile& sfx);

// list: the entry lines, then (unless quiet) the totals and the header.
std::string ListingText(const SelfExtractingFile& sfx, const std::vector<ListedEntry>& entries, bool quiet);

// list --json: the document described in the README ("kaito list --json").
std::string ListingJson(const std::string& file, const SelfExtractingFile& sfx,
                        const std::vector<ListedEntry>& entries);
