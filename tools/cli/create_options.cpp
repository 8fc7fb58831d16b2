#include "tools/cli/create_options.h"

#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/host_platform.h"
#include "tools/encoder/block_encoder.h"

const char* const kDefaultStoreExtensions =
    "7z,aac,avi,bz2,cab,docx,flac,gif,gz,jpeg,jpg,lz,lzh,lzma,m4a,mkv,mov,mp3,mp4,msi,ogg,png,"
    "pptx,rar,tbz,tgz,txz,webm,webp,xlsx,xz,zip,zst";

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// "-T FILE": one input per line (a final '\r' dropped, empty lines skipped),
// or NUL-separated with --null; "-" reads standard input.
std::vector<std::string> ReadInputList(const std::string& file, bool nulSeparated) {
  std::string text;
  if (file == "-") {
    text = ReadStandardInput();
  } else {
    std::vector<uint8_t> bytes = ReadWholeFile(PathFromUtf8(file));
    text.assign(bytes.begin(), bytes.end());
  }
  std::vector<std::string> inputs;
  char separator = nulSeparated ? '\0' : '\n';
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    if (!nulSeparated && !item.empty() && item.back() == '\r') item.pop_back();
    if (!item.empty()) inputs.push_back(item);
    start = end + 1;
  }
  return inputs;
}

}  // namespace

bool HasExtensionIn(const std::string& name, const std::string& list) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('\\', dot) != std::string::npos) return false;
  std::string extension = Lower(name.substr(dot + 1));
  std::string lowered = "," + Lower(list) + ",";
  return lowered.find("," + extension + ",") != std::string::npos ||
         lowered.find(",." + extension + ",") != std::string::npos;
}

CreateOptions ParseCreate(const std::vector<std::string>& args) {
  CreateOptions o;
  o.level = kDefaultLevel;
  ArgumentReader reader(args);
  bool onlyOperands = false;
  bool nulSeparated = false;
  std::vector<std::string> lists;
  while (!reader.Done()) {
    std::string arg = reader.Next();
    std::string name, inlineValue;
    if (onlyOperands || arg.empty() || arg[0] != '-' || arg == "-") {
      o.inputs.push_back(arg);
      continue;
    }
    SplitOption(arg, &name, &inlineValue);
    if (arg == "--") {
      onlyOperands = true;
    } else if (name == "-o" || name == "--output") {
      o.output = reader.Value(arg);
    } else if (arg == "--auto") {
      o.automatic = true;
    } else if (name == "--run") {
      o.run = reader.Value(arg);
    } else if (name == "--run-args") {
      o.runArgs = reader.Value(arg);
    } else if (name == "--level" || name == "-l") {
      std::string value = reader.Value(arg);
      if (value.size() != 1 || value[0] < '0' || value[0] > '9')
        throw UsageFailure("--level takes a number from 0 to 9, not '" + value + "'");
      o.level = value[0] - '0';
    } else if (name.size() == 2 && name[0] == '-' && name[1] >= '0' && name[1] <= '9') {
      o.level = name[1] - '0';
    } else if (name == "--icon") {
      o.icon = reader.Value(arg);
    } else if (name == "--version-info") {
      o.versionInfo.push_back(reader.Value(arg));
    } else if (name == "--stub") {
      o.stub = reader.Value(arg);
    } else if (name == "--store-ext") {
      // "+LIST" adds to the list so far; anything else replaces it.
      std::string value = reader.Value(arg);
      o.storeExtensions = value.rfind('+', 0) == 0 ? o.storeExtensions + "," + value.substr(1) : value;
    } else if (name == "-C" || name == "--directory") {
      o.baseDir = reader.Value(arg);
    } else if (name == "--exclude") {
      o.exclude.Add(reader.Value(arg));
    } else if (name == "-T" || name == "--files-from") {
      lists.push_back(reader.Value(arg));
    } else if (arg == "--null") {
      nulSeparated = true;
    } else if (name == "--mtime") {
      o.mtime = reader.Value(arg);
      if (o.mtime.empty()) throw UsageFailure("--mtime needs a time");
    } else if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else {
      throw UsageFailure("create: unknown option '" + arg + "'");
    }
  }
  if (o.output.empty()) throw UsageFailure("create: the output file is missing (-o OUT.exe)");
  if (!o.runArgs.empty() && o.run.empty()) throw UsageFailure("create: --run-args needs --run");
  if (nulSeparated && lists.empty()) throw UsageFailure("create: --null needs -T FILE");
  for (const std::string& list : lists) {
    std::vector<std::string> listed = ReadInputList(list, nulSeparated);
    o.inputs.insert(o.inputs.end(), listed.begin(), listed.end());
  }
  if (o.inputs.empty())
    throw UsageFailure(lists.empty() ? "create: no input files or folders given" : "create: the input list is empty");
  return o;
}
