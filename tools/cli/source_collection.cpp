#include "tools/cli/source_collection.h"

#include <algorithm>

#include "tools/cli/cli_support.h"
#include "tools/cli/temporary_file.h"

namespace fs = std::filesystem;

namespace {

class Collector {
 public:
  Collector(const CollectOptions& options, CollectResult* result) : options_(options), result_(result) {}

  // Adds the file or folder at `path` as `name`; answers how many files it
  // added.  `named` is true for an input named on the command line.
  size_t Add(const fs::path& path, const std::string& name, bool named) {
    std::error_code code;
    fs::file_status link = fs::symlink_status(path, code);
    fs::file_status status = fs::status(path, code);
    if (!name.empty() && options_.exclude.Excludes(name)) return 0;
    if (IsSame(path, options_.output)) {
      if (named) Problem(Shown(path) + ": is the output file (-o); it cannot also be packed");
      else Note("skipping " + Shown(path) + ": it is the output file");
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
      return AddFolder(path, name);
    }
    Note("skipping " + Shown(path) + ": not a regular file or folder");
    return 0;
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
    std::sort(children.begin(), children.end());
    size_t added = 0;
    size_t notesBefore = result_->notes.size();
    size_t problemsBefore = result_->problems.size();
    for (const fs::path& child : children) {
      std::string childName = PathToUtf8(child.filename());
      added += Add(child, name.empty() ? childName : name + "\\" + childName, false);
    }
    if (added == 0 && result_->problems.size() == problemsBefore) {
      // Only the outermost empty folder is worth a line.
      result_->notes.resize(notesBefore);
      Note("skipping empty folder " + Shown(path) + " (an empty folder cannot be stored)");
    }
    return added;
  }

  static bool IsSame(const fs::path& path, const fs::path& other) {
    std::error_code code;
    return !other.empty() && fs::equivalent(path, other, code);
  }

  static std::string Shown(const fs::path& path) { return "'" + PathToUtf8(path) + "'"; }
  void Note(const std::string& text) { result_->notes.push_back(text); }
  void Problem(const std::string& text) { result_->problems.push_back(text); }

  const CollectOptions& options_;
  CollectResult* result_;
};

// The name an input gets: its path relative to baseDir, or its last component.
std::string InputName(const fs::path& input, const fs::path& baseDir) {
  if (baseDir.empty()) {
    fs::path normal = fs::absolute(input).lexically_normal();
    if (!normal.has_filename()) normal = normal.parent_path();
    return PathToUtf8(normal.filename());
  }
  fs::path relative = fs::absolute(input).lexically_normal().lexically_relative(
      fs::absolute(baseDir).lexically_normal());
  std::string text = PathToUtf8(relative);
  if (relative.empty() || text == "..") text = "..";
  if (text == ".." || text.rfind("../", 0) == 0 || text.rfind("..\\", 0) == 0)
    throw CommandFailure("'" + PathToUtf8(input) + "' lies outside the -C folder");
  if (text == "." || text == "./") return std::string();
  std::string name;
  for (const fs::path& part : relative) {
    std::string piece = PathToUtf8(part);
    if (piece.empty() || piece == ".") continue;
    name += (name.empty() ? "" : "\\") + piece;
  }
  return name;
}

}  // namespace

CollectResult CollectSources(const std::vector<std::string>& inputs, const CollectOptions& options) {
  CollectResult result;
  Collector collector(options, &result);
  const std::string& baseDir = options.baseDir;
  fs::path base = PathFromUtf8(baseDir);
  if (!baseDir.empty() && !fs::is_directory(base))
    throw CommandFailure("-C " + baseDir + ": no such folder");
  for (const std::string& input : inputs) {
    fs::path path = baseDir.empty() ? PathFromUtf8(input) : base / PathFromUtf8(input);
    std::error_code code;
    if (!fs::exists(path, code)) throw CommandFailure("'" + PathToUtf8(path) + "': no such file or folder");
    collector.Add(path, InputName(path, base), true);
  }
  return result;
}
