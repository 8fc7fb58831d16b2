// Turns the create command's inputs into the list of files to pack, each with
// its entry name: the path relative to the input's parent (or to -C DIR), with
// '\' between folders.  Folders are walked recursively in name order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct SourceFile {
  std::filesystem::path path;
  std::string name;  // UTF-8, '\' between folders
  uint64_t size;
};

struct CollectResult {
  std::vector<SourceFile> files;
  std::vector<std::string> notes;  // skipped folders and special files, for the user
};

// `baseDir` empty: names relative to each input's parent.  Otherwise inputs
// are taken relative to baseDir and named relative to it.  `exclude` (the
// output file) is never packed.  Throws CommandFailure for a missing input.
CollectResult CollectSources(const std::vector<std::string>& inputs, const std::string& baseDir,
                             const std::filesystem::path& exclude);
