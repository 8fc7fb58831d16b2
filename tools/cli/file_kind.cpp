#include "tools/cli/file_kind.h"

namespace fs = std::filesystem;

const char* const kBareStubReason = "a kaito stub with no archive appended (its locator is 0)";

std::string NotRegularFileReason(const fs::path& path) {
  std::error_code code;
  fs::file_status status = fs::status(path, code);
  if (fs::is_regular_file(status)) return std::string();
  if (!fs::exists(status)) return "no such file";
  if (fs::is_directory(status)) return "is a folder";
  return "is not a regular file (a device, pipe or socket)";
}

std::string NoArchiveReason(const std::string& locatorError) {
  if (locatorError.rfind("not a Windows program", 0) == 0) return locatorError;
  return "a Windows program without an archive (" + locatorError + ")";
}
