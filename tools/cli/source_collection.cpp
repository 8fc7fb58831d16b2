#include "tools/cli/source_collection.h"

#include <algorithm>

#include "tools/cli/cli_support.h"

namespace fs = std::filesystem;

namespace {

class Collector {
 public:
  Collector(const fs::path& exclude, CollectResult* result) : exclude_(exclude), result_(result) {}

  // Adds the file or folder at `path` as `name`; answers how many files it added.
  size_t Add(const fs::path& path, const std::string& name) {
    std::error_code code;
    fs::file_status link = fs::symlink_status(path, code);
    fs::file_status status = fs::status(path, code);
    if (IsExcluded(path)) return 0;
    if (PathToUtf8(path.filename()).find('\\') != std::string::npos)
      throw CommandFailure(Shown(path) + ": a name with a backslash cannot be stored (Windows reads it as a folder separator)");
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
    for (const fs::path& child : children) {
      std::string childName = PathToUtf8(child.filename());
      added += Add(child, name.empty() ? childName : name + "\\" + childName);
    }
    if (added == 0) {
      // Only the outermost empty folder is worth a line.
      result_->notes.resize(notesBefore);
      Note("skipping empty folder " + Shown(path) + " (an empty folder cannot be stored)");
    }
    return added;
  }

  bool IsExcluded(const fs::path& path) const {
    std::error_code code;
    return !exclude_.empty() && fs::equivalent(path, exclude_, code);
  }

  static std::string Shown(const fs::path& path) { return "'" + PathToUtf8(path) + "'"; }
  void Note(const std::string& text) { result_->notes.push_back(text); }

  fs::path exclude_;
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

CollectResult CollectSources(const std::vector<std::string>& inputs, const std::string& baseDir,
                             const fs::path& exclude) {
  CollectResult result;
  Collector collector(exclude, &result);
  fs::path base = PathFromUtf8(baseDir);
  if (!baseDir.empty() && !fs::is_directory(base))
    throw CommandFailure("-C " + baseDir + ": no such folder");
  for (const std::string& input : inputs) {
    fs::path path = baseDir.empty() ? PathFromUtf8(input) : base / PathFromUtf8(input);
    std::error_code code;
    if (!fs::exists(path, code)) throw CommandFailure("'" + PathToUtf8(path) + "': no such file or folder");
    collector.Add(path, InputName(path, base));
  }
  return result;
}
