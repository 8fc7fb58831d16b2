// Turns the create command's inputs into the list of files to pack, each with
// its entry name ('\' between folders): an operand is named from its last
// component, a line of a -T list from its path as written (as tar does), and
// below -C DIR both from their path relative to DIR.  Folders are walked
// recursively unless told otherwise.  The files come back in name order,
// each once, so the same files give the same archive whatever the order of
// the inputs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/cli/create_options.h"
#include "tools/cli/exclude_patterns.h"

struct SourceFile {
  std::filesystem::path path;
  std::string name;  // UTF-8, '\' between folders
  uint64_t size;
};

struct CollectResult {
  std::vector<SourceFile> files;
  std::vector<std::string> notes;     // skipped folders and special files, for the user
  std::vector<std::string> problems;  // inputs that cannot be packed; create refuses to go on
};

struct CollectOptions {
  // Empty: operands named from their last component, list lines from their
  // path.  Otherwise inputs are taken relative to baseDir and named relative to it.
  std::string baseDir;
  // The file being written: met among the inputs, named or inside a folder,
  // it is a problem (its temporary file is skipped with a note).
  std::filesystem::path output;
  ExcludePatterns exclude;
  bool recursive = true;  // false: folders give nothing (--no-recursion)
};

// Throws CommandFailure for a missing input.
CollectResult CollectSources(const std::vector<InputSpec>& inputs, const CollectOptions& options);

// The order of entries: names compared folder by folder, each part by its
// UTF-8 bytes (Unicode code point order), so that everything inside folder
// "a" comes before "a-b", as a walk of the folders meets them.
bool EntryNameLess(const std::string& a, const std::string& b);
