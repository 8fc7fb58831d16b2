#include "tools/cli/create_options.h"

#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/host_platform.h"
#include "tools/cli/store_extensions.h"
#include "tools/encoder/block_encoder.h"
#include "tools/pe/manifest_level.h"

namespace {

constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// "-T FILE": one input per line (a final '\r' dropped, empty lines skipped),
// or NUL-separated with --null; "-" reads standard input.  A byte order mark
// in front of the first line, as some editors on Windows write one, is no part of it.
std::vector<std::string> ReadInputList(const std::string& file, bool nulSeparated) {
  std::string text;
  if (file == "-") {
    text = ReadStandardInput();
  } else {
    std::vector<uint8_t> bytes = ReadWholeFile(PathFromUtf8(file));
    text.assign(bytes.begin(), bytes.end());
  }
  if (text.rfind(kUtf8ByteOrderMark, 0) == 0) text.erase(0, 3);
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

// Options that name one thing take it once: a second value would silently win.
void SetOnce(const std::string& option, const std::string& value, std::string* field, bool* given) {
  if (*given)
    throw UsageFailure("create: " + option + " given twice ('" + *field + "' and '" + value + "')");
  *given = true;
  *field = value;
}

std::string MissingForCleanup(const CreateOptions& o) {
  if (!o.automatic && o.run.empty()) return "--auto and --run";
  return o.automatic ? "--run" : "--auto";
}

}  // namespace

CreateOptions ParseCreate(const std::vector<std::string>& args) {
  CreateOptions o;
  o.level = kDefaultLevel;
  o.storeExtensions = DefaultStoreExtensions();
  ArgumentReader reader(args);
  bool onlyOperands = false;
  bool nulSeparated = false;
  std::vector<std::string> lists;
  // Which of the single-valued options were given already.
  bool hasOutput = false, hasRun = false, hasRunArgs = false, hasStub = false, hasBase = false, hasMtime = false,
       hasIcon = false, hasLevel = false;
  while (!reader.Done()) {
    std::string arg = reader.Next();
    std::string name, inlineValue;
    if (onlyOperands || arg.empty() || arg[0] != '-' || arg == "-") {
      o.inputs.push_back(InputSpec{arg, false});
      continue;
    }
    SplitOption(arg, &name, &inlineValue);
    if (arg == "--") {
      onlyOperands = true;
    } else if (name == "-o" || name == "--output") {
      SetOnce("-o", reader.Value(arg), &o.output, &hasOutput);
    } else if (arg == "--auto") {
      o.automatic = true;
    } else if (arg == "--cleanup") {
      o.cleanup = true;
    } else if (name == "--run") {
      SetOnce("--run", reader.Value(arg), &o.run, &hasRun);
    } else if (name == "--run-args") {
      SetOnce("--run-args", reader.Value(arg), &o.runArgs, &hasRunArgs);
    } else if (name == "--level" || name == "-l") {
      std::string value = reader.Value(arg);
      if (value.size() != 1 || value[0] < '0' || value[0] > '9')
        throw UsageFailure("--level takes a number from 0 to 9, not '" + value + "'");
      o.level = value[0] - '0';
    } else if (name.size() == 2 && name[0] == '-' && name[1] >= '0' && name[1] <= '9') {
      o.level = name[1] - '0';
    } else if (name == "--icon") {
      SetOnce("--icon", reader.Value(arg), &o.icon, &hasIcon);
    } else if (name == "--version-info") {
      o.versionInfo.push_back(reader.Value(arg));
    } else if (name == "--execution-level") {
      std::string value = reader.Value(arg);
      std::string level = CanonicalExecutionLevel(value);
      if (level.empty())
        throw UsageFailure("--execution-level takes asInvoker, highestAvailable or requireAdministrator, not '" +
                           value + "'");
      SetOnce("--execution-level", level, &o.executionLevel, &hasLevel);
    } else if (name == "--stub") {
      SetOnce("--stub", reader.Value(arg), &o.stub, &hasStub);
    } else if (name == "--store-ext") {
      ApplyStoreExtensions(reader.Value(arg), &o.storeExtensions);
    } else if (name == "-C" || name == "--directory") {
      SetOnce("-C", reader.Value(arg), &o.baseDir, &hasBase);
    } else if (name == "--exclude") {
      std::string pattern = reader.Value(arg);
      if (!o.exclude.Add(pattern)) throw UsageFailure("--exclude '" + pattern + "': no pattern to match");
    } else if (name == "-T" || name == "--files-from") {
      lists.push_back(reader.Value(arg));
    } else if (arg == "--null") {
      nulSeparated = true;
    } else if (arg == "--no-recursion") {
      o.recursive = false;
    } else if (name == "--mtime") {
      SetOnce("--mtime", reader.Value(arg), &o.mtime, &hasMtime);
      if (o.mtime.empty()) throw UsageFailure("--mtime needs a time");
    } else if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else {
      throw UsageFailure("create: unknown option '" + arg + "'");
    }
  }
  if (o.output.empty()) throw UsageFailure("create: the output file is missing (-o OUT.exe)");
  if (!o.runArgs.empty() && o.run.empty()) throw UsageFailure("create: --run-args needs --run");
  if (o.cleanup && (!o.automatic || o.run.empty()))
    throw UsageFailure("create: --cleanup needs both --auto and --run PROGRAM (missing: " + MissingForCleanup(o) +
                       "); it makes the file an installer wrapper that deletes its files after PROGRAM ends");
  if (nulSeparated && lists.empty()) throw UsageFailure("create: --null needs -T FILE");
  for (const std::string& list : lists)
    for (const std::string& line : ReadInputList(list, nulSeparated)) o.inputs.push_back(InputSpec{line, true});
  if (o.inputs.empty())
    throw UsageFailure(lists.empty() ? "create: no input files or folders given" : "create: the input list is empty");
  return o;
}
