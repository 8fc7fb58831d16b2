#include "tools/cli/source_collection.h"

#include <algorithm>
#include <map>

#include "tools/cli/cli_support.h"
#include "tools/cli/temporary_file.h"

namespace fs = std::filesystem;

namespace {

class Collector {
 public:
  Collector(const CollectOptions& options, CollectResult* result) : options_(options), result_(result) {}

  // Adds the file or folder at `path` as `name`; answers how many files it added.
  size_t Add(const fs::path& path, const std::string& name) {
    std::error_code code;
    fs::file_status link = fs::symlink_status(path, code);
    fs::file_status status = fs::status(path, code);
    if (!name.empty() && options_.exclude.Excludes(name)) {
      ++excluded_;
      return 0;
    }
    if (IsSame(path, options_.output)) {
      // Packing it would read the file that this run replaces.
      Problem(Shown(path) + ": is the output file (-o); it cannot also be packed");
      return 0;
    }
    if (IsSame(path, TemporaryPathFor(options_.output))) {
      Note("skipping " + Shown(path) + ": it is this run's temporary output file");
      return 0;
    }
    if (PathToUtf8(path.filename()).find('\\') != std::string::npos) {
      Problem(Shown(path) + ": a name with a backslash cannot be stored (Windows reads it as a folder separator)");
      return 0;
    }
    if (fs::is_regular_file(status)) return AddFile(path, name);
    if (fs::is_directory(status)) {
      if (fs::is_symlink(link)) {
        Note("skipping " + Shown(path) + ": a link to a folder is not followed");
        return 0;
      }
      return options_.recursive ? AddFolder(path, name) : 0;
    }
    if (fs::is_symlink(link) && !fs::exists(status)) {
      Note("skipping " + Shown(path) + ": a link to nothing (what it names does not exist)");
      return 0;
    }
    Note("skipping " + Shown(path) + ": a device, pipe or socket, not a regular file or folder");
    return 0;
  }

  // The files in name order, each once: a file reached again under the same
  // name (a folder and, from a list, a file inside it) is the same entry.
  void Finish() {
    std::vector<SourceFile>& files = result_->files;
    std::stable_sort(files.begin(), files.end(),
                     [](const SourceFile& a, const SourceFile& b) { return EntryNameLess(a.name, b.name); });
    std::vector<SourceFile> unique;
    for (SourceFile& file : files) {
      std::error_code code;
      if (!unique.empty() && unique.back().name == file.name && fs::equivalent(unique.back().path, file.path, code))
        continue;
      unique.push_back(std::move(file));
    }
    files = std::move(unique);
  }

 private:
  size_t AddFile(const fs::path& path, const std::string& name) {
    std::error_code code;
    uint64_t size = fs::file_size(path, code);
    if (code) throw CommandFailure("cannot read " + Shown(path) + ": " + code.message());
    result_->files.push_back(SourceFile{path, name, size});
    return 1;
  }

  size_t AddFolder(const fs::path& path, const std::string& name) {
    std::vector<fs::path> children;
    std::error_code code;
    for (fs::directory_iterator it(path, code), end; !code && it != end; it.increment(code))
      children.push_back(it->path());
    if (code) throw CommandFailure("cannot read folder " + Shown(path) + ": " + code.message());
    size_t added = 0;
    size_t notesBefore = result_->notes.size();
    size_t problemsBefore = result_->problems.size();
    size_t excludedBefore = excluded_;
    for (const fs::path& child : children) {
      std::string childName = PathToUtf8(child.filename());
      added += Add(child, name.empty() ? childName : name + "\\" + childName);
    }
    if (added == 0 && result_->problems.size() == problemsBefore) {
      // Only the outermost folder that gives nothing is worth a line.
      result_->notes.resize(notesBefore);
      Note(excluded_ != excludedBefore
               ? "skipping folder " + Shown(path) + ": --exclude leaves no file in it"
               : "skipping empty folder " + Shown(path) + " (an empty folder cannot be stored)");
    }
    return added;
  }

  static bool IsSame(const fs::path& path, const fs::path& other) {
    std::error_code code;
    return !other.empty() && fs::equivalent(path, other, code);
  }

  static std::string Shown(const fs::path& path) { return "'" + PathToUtf8(path.lexically_normal()) + "'"; }
  void Note(const std::string& text) { result_->notes.push_back(text); }
  void Problem(const std::string& text) { result_->problems.push_back(text); }

  const CollectOptions& options_;
  CollectResult* result_;
  size_t excluded_ = 0;
};

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end = name.find('\\'); end != std::string::npos; end = name.find('\\', start)) {
    parts.push_back(name.substr(start, end - start));
    start = end + 1;
  }
  parts.push_back(name.substr(start));
  return parts;
}

std::string JoinedName(const fs::path& relative) {
  std::string name;
  for (const fs::path& part : relative) {
    std::string piece = PathToUtf8(part);
    if (piece.empty() || piece == "." || piece == "/") continue;
    name += (name.empty() ? "" : "\\") + piece;
  }
  return name;
}

// An operand's name: its path relative to baseDir, or its last component.
std::string OperandName(const fs::path& input, const fs::path& baseDir) {
  if (baseDir.empty()) {
    fs::path normal = fs::absolute(input).lexically_normal();
    if (!normal.has_filename()) normal = normal.parent_path();
    return PathToUtf8(normal.filename());
  }
  fs::path relative = fs::absolute(input).lexically_normal().lexically_relative(
      fs::absolute(baseDir).lexically_normal());
  std::string text = PathToUtf8(relative);
  if (relative.empty() || text == ".." || text.rfind("../", 0) == 0 || text.rfind("..\\", 0) == 0)
    throw CommandFailure("'" + PathToUtf8(input) + "' lies outside the -C folder");
  return JoinedName(relative);
}

// A list line's name: its path as written, tidied ("./a//b" is "a\b").
// Without -C a line that leads out of the current folder cannot be a name;
// a leading '/' is dropped, as tar drops it (*droppedRoot then says so).
std::string ListedName(const std::string& line, const fs::path& path, const fs::path& baseDir, bool* droppedRoot) {
  if (!baseDir.empty()) return OperandName(path, baseDir);
  fs::path written = PathFromUtf8(line).lexically_normal();
  if (written.has_root_path()) {
    *droppedRoot = true;
    written = written.relative_path();
  }
  std::string text = PathToUtf8(written);
  if (text == ".." || text.rfind("../", 0) == 0 || text.rfind("..\\", 0) == 0)
    throw CommandFailure("'" + line + "' (in a -T list) leads out of the current folder; use -C DIR to name it relative to DIR");
  return JoinedName(written);
}

}  // namespace

bool EntryNameLess(const std::string& a, const std::string& b) { return Components(a) < Components(b); }

CollectResult CollectSources(const std::vector<InputSpec>& inputs, const CollectOptions& options) {
  CollectResult result;
  Collector collector(options, &result);
  const std::string& baseDir = options.baseDir;
  fs::path base = PathFromUtf8(baseDir);
  if (!baseDir.empty() && !fs::is_directory(base))
    throw CommandFailure("-C " + baseDir + ": no such folder");
  bool droppedRoot = false;
  for (const InputSpec& input : inputs) {
    fs::path path = baseDir.empty() ? PathFromUtf8(input.path) : base / PathFromUtf8(input.path);
    std::error_code code;
    fs::file_status link = fs::symlink_status(path, code);
    if (!fs::exists(link)) throw CommandFailure("'" + PathToUtf8(path) + "': no such file or folder");
    if (!fs::exists(path, code))
      throw CommandFailure("'" + PathToUtf8(path) + "': a link to nothing (what it names does not exist)");
    std::string name = input.fromList ? ListedName(input.path, path, base, &droppedRoot) : OperandName(path, base);
    collector.Add(path, name);
  }
  if (droppedRoot) result.notes.insert(result.notes.begin(), "removing the leading '/' from names in the -T list");
  collector.Finish();
  return result;
}
