// extract: writes every entry (or the chosen ones) below the destination
// folder, with its times.
#include <set>

#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/entry_selection.h"
#include "tools/cli/host_platform.h"
#include "tools/cli/sfx_file.h"
#include "tools/cli/temporary_file.h"

namespace fs = std::filesystem;

namespace {

struct ExtractOptions {
  std::string file;
  std::string destination = ".";
  bool overwrite = false;
  bool quiet = false;
  std::vector<std::string> entries;  // ENTRY operands; empty: all
};

ExtractOptions ParseExtract(const std::vector<std::string>& args) {
  ExtractOptions o;
  ArgumentReader reader(args);
  bool onlyOperands = false;
  while (!reader.Done()) {
    std::string arg = reader.Next();
    std::string name, value;
    SplitOption(arg, &name, &value);
    if (onlyOperands || arg.empty() || arg[0] != '-') {
      if (o.file.empty()) {
        o.file = arg;
      } else {
        o.entries.push_back(arg);
      }
    } else if (arg == "--") {
      onlyOperands = true;
    } else if (name == "-C" || name == "--directory") {
      o.destination = reader.Value(arg);
    } else if (arg == "--overwrite") {
      o.overwrite = true;
    } else if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else {
      throw UsageFailure("extract: unknown option '" + arg + "'");
    }
  }
  if (o.file.empty()) throw UsageFailure("extract: the self-extracting file is missing");
  return o;
}

// The output path of a stored name: its folders below the destination.  The
// parser has already refused names that would leave it.
fs::path OutputPath(const fs::path& destination, const std::string& utf8Name) {
  fs::path path = destination;
  size_t start = 0;
  for (size_t i = 0; i <= utf8Name.size(); ++i) {
    if (i == utf8Name.size() || utf8Name[i] == '\\' || utf8Name[i] == '/') {
      std::string part = utf8Name.substr(start, i - start);
      if (!part.empty() && part != ".") path /= PathFromUtf8(part);
      start = i + 1;
    }
  }
  return path;
}

// Refuses a folder on the way that is a link: it could lead out of the destination.
void CreateFolders(const fs::path& destination, const fs::path& file) {
  fs::path folder = destination;
  fs::path relative = file.parent_path().lexically_relative(destination);
  for (const fs::path& part : relative) {
    if (part == ".") continue;
    folder /= part;
    std::error_code code;
    fs::file_status status = fs::symlink_status(folder, code);
    if (fs::is_symlink(status))
      throw CommandFailure(PathToUtf8(folder) + ": is a link; not extracting through it");
    if (fs::exists(status) && !fs::is_directory(status))
      throw CommandFailure(PathToUtf8(folder) + ": exists and is not a folder");
    if (!fs::exists(status) && !fs::create_directory(folder, code))
      throw CommandFailure("cannot create folder " + PathToUtf8(folder) + ": " + code.message());
  }
}

// Writes through a temporary name and renames it when complete: an
// interrupted or failed write leaves neither a truncated file under the real
// name nor the temporary one.
void WriteFile(const fs::path& path, const std::vector<uint8_t>& data) {
  std::error_code code;
  if (fs::is_symlink(fs::symlink_status(path, code)))
    throw CommandFailure(PathToUtf8(path) + ": is a link; not writing through it");
  TemporaryFile out(path, kCleanupExtracted);
  if (!out.Write(data.data(), data.size()))
    throw CommandFailure("cannot write " + PathToUtf8(path) + ": " + out.error());
  out.Commit();
}

// Names the ENTRY operands that match nothing, one line each, then fails.
void RefuseUnmatched(const EntrySelection& selection, const std::string& file) {
  std::vector<std::string> unmatched = selection.Unmatched();
  if (unmatched.empty()) return;
  for (const std::string& name : unmatched) WriteErr("kaito: " + ForTerminal(name + ": not in " + file) + "\n");
  throw CommandFailure(CountOf(unmatched.size(), "name") + " not found; nothing was extracted");
}

}  // namespace

int RunExtract(const std::vector<std::string>& args) {
  ExtractOptions o = ParseExtract(args);
  SelfExtractingFile sfx(PathFromUtf8(o.file));
  fs::path destination = PathFromUtf8(o.destination);
  std::error_code code;

  // Every entry is checked before anything is written, so a corrupt file or
  // an existing file leaves the destination as it was.
  std::vector<ParsedEntry> entries;
  std::vector<fs::path> paths;
  std::set<fs::path> seen;
  EntrySelection selection(o.entries);
  for (uint32_t i = 0; i < sfx.header().entryCount; ++i) {
    ParsedEntry entry = sfx.NextEntry();
    std::string cp932(reinterpret_cast<const char*>(entry.name), entry.nameLength);
    std::string utf8;
    if (!Cp932ToUtf8(cp932, &utf8))
      sfx.Corrupt("entry name is not valid Shift-JIS", entry.headerOffset + kEntryHeaderSize);
    fs::path path = OutputPath(destination, utf8);
    if (!seen.insert(path).second)
      sfx.Corrupt("two entries have the same name", entry.headerOffset + kEntryHeaderSize);
    if (!selection.Selects(utf8)) continue;
    entries.push_back(entry);
    paths.push_back(path);
    if (!o.overwrite && fs::exists(fs::symlink_status(paths.back(), code)))
      throw CommandFailure(PathToUtf8(paths.back()) + ": already exists (use --overwrite to replace it)");
  }
  sfx.Finish();

  RefuseUnmatched(selection, o.file);
  if (!fs::is_directory(destination, code)) {
    fs::create_directories(destination, code);
    if (code) throw CommandFailure("cannot create folder " + o.destination + ": " + code.message());
  }

  ProgressBar bar(!o.quiet && StderrIsTerminal(), sfx.fileSize());
  for (size_t i = 0; i < entries.size(); ++i) {
    const ParsedEntry& entry = entries[i];
    bar.Show(entry.dataOffset, PathToUtf8(paths[i].filename()));
    // Checked against the integrity record before its file is created, so a
    // damaged entry leaves nothing behind.
    std::vector<uint8_t> data = sfx.Content(entry);
    CreateFolders(destination, paths[i]);
    WriteFile(paths[i], data);
    if (!ApplyFileTimes(paths[i], entry.header.creationTime, entry.header.lastWriteTime))
      WriteErr("kaito: could not set the times of " + ForTerminal(PathToUtf8(paths[i])) + "\n");
  }
  bar.Clear();
  if (!o.quiet)
    WriteErr("kaito: extracted " + CountOf(entries.size(), "file") + " into " + ForTerminal(o.destination) + "\n");
  return 0;
}
