// Turns the create command's inputs into the list of files to pack, each with
// its entry name: the path relative to the input's parent (or to -C DIR), with
// '\' between folders.  Folders are walked recursively in name order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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
  // Empty: names relative to each input's parent.  Otherwise inputs are taken
  // relative to baseDir and named relative to it.
  std::string baseDir;
  // The file being written: named as an input it is a problem, met in a
  // folder it is skipped with a note (so is its temporary file).
  std::filesystem::path output;
  ExcludePatterns exclude;
};

// Throws CommandFailure for a missing input.
CollectResult CollectSources(const std::vector<std::string>& inputs, const CollectOptions& options);
