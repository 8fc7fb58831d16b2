#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>

#include "tools/archive_writer.h"
#include "tools/ico_file.h"
#include "tools/stub_branding.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/host_platform.h"
#include "tools/cli/source_collection.h"

namespace fs = std::filesystem;

namespace {

// Already-compressed formats gain nothing from another pass; they are stored
// without trying unless --store-ext says otherwise.
const char* const kDefaultStoreExtensions =
    "7z,aac,avi,bz2,cab,docx,flac,gif,gz,jpeg,jpg,lz,lzh,lzma,m4a,mkv,mov,mp3,mp4,msi,ogg,png,"
    "pptx,rar,tbz,tgz,txz,webm,webp,xlsx,xz,zip,zst";

struct CreateOptions {
  std::string output;
  bool automatic = false;
  std::string run;
  std::string runArgs;
  int level = kDefaultLevel;
  std::string stub;
  std::string storeExtensions = kDefaultStoreExtensions;
  std::string baseDir;
  bool quiet = false;
  std::string icon;
  std::vector<std::string> versionInfo;
  std::vector<std::string> inputs;
};

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool HasExtensionIn(const std::string& name, const std::string& list) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('\\', dot) != std::string::npos) return false;
  std::string extension = Lower(name.substr(dot + 1));
  std::string lowered = "," + Lower(list) + ",";
  std::string::size_type at = 0;
  // Entries may carry a leading dot: ".zip,.png".
  return lowered.find("," + extension + ",", at) != std::string::npos ||
         lowered.find(",." + extension + ",", at) != std::string::npos;
}

CreateOptions ParseCreate(const std::vector<std::string>& args) {
  CreateOptions o;
  ArgumentReader reader(args);
  bool onlyOperands = false;
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
    } else if (name == "--stub") {
      o.stub = reader.Value(arg);
    } else if (name == "--store-ext") {
      o.storeExtensions = reader.Value(arg);
    } else if (name == "-C" || name == "--directory") {
      o.baseDir = reader.Value(arg);
    } else if (name == "--icon") {
      o.icon = reader.Value(arg);
    } else if (name == "--version-info") {
      o.versionInfo.push_back(reader.Value(arg));
    } else if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else {
      throw UsageFailure("create: unknown option '" + arg + "'");
    }
  }
  if (o.output.empty()) throw UsageFailure("create: the output file is missing (-o OUT.exe)");
  if (o.inputs.empty()) throw UsageFailure("create: no input files or folders given");
  if (!o.runArgs.empty() && o.run.empty()) throw UsageFailure("create: --run-args needs --run");
  return o;
}

std::vector<uint8_t> LoadStub(const CreateOptions& o) {
  if (!o.stub.empty()) return ReadWholeFile(PathFromUtf8(o.stub));
  if (kEmbeddedStubSize == 0)
    throw CommandFailure("this kaito was built without a stub: name one with --stub FILE");
  return std::vector<uint8_t>(kEmbeddedStub, kEmbeddedStub + kEmbeddedStubSize);
}

// --icon and --version-info rewrite the stub's resources; without them the
// stub is written as it is.
std::vector<uint8_t> ApplyBranding(std::vector<uint8_t> stub, const CreateOptions& o) {
  if (o.icon.empty() && o.versionInfo.empty()) return stub;
  StubBranding branding;
  std::string error;
  if (!ParseVersionTexts(o.versionInfo, &branding.version, &error)) throw CommandFailure(error);
  if (!o.icon.empty()) {
    fs::path path = PathFromUtf8(o.icon);
    branding.iconLabel = "--icon " + o.icon;
    std::error_code code;
    if (fs::file_size(path, code) > kMaxIconFileSize && !code)
      throw CommandFailure(branding.iconLabel + ": larger than 1 MiB");
    branding.replaceIcon = true;
    branding.icon = ReadWholeFile(path);
  }
  std::vector<uint8_t> branded;
  if (!BrandStub(stub, branding, &branded, &error)) throw CommandFailure(error);
  return branded;
}

std::string ToCp932(const std::string& utf8, const std::string& what) {
  std::string cp932;
  if (!Utf8ToCp932(utf8, &cp932))
    throw CommandFailure(what + ": the name cannot be written in code page 932 (Shift-JIS)");
  return cp932;
}

// Follow-up names use '\' like entry names.
std::string WindowsSeparators(std::string text) {
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

// Writes to a temporary file beside the output and renames it at the end, so
// a failure never leaves a half-written self-extracting file behind.
class OutputFile {
 public:
  explicit OutputFile(const fs::path& path) : path_(path), temporary_(path) {
    temporary_ += ".kaito-partial";
    errno = 0;
    out_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!out_) throw CommandFailure("cannot write " + PathToUtf8(path_) + ": " + SystemErrorText());
  }
  ~OutputFile() {
    if (!committed_) {
      out_.close();
      std::error_code code;
      fs::remove(temporary_, code);
    }
  }
  bool Write(const uint8_t* data, size_t size) {
    out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out_);
  }
  void Commit() {
    out_.close();
    if (!out_) throw CommandFailure("cannot write " + PathToUtf8(path_) + ": " + SystemErrorText());
    std::error_code code;
    fs::rename(temporary_, path_, code);
    if (code) throw CommandFailure("cannot write " + PathToUtf8(path_) + ": " + code.message());
    committed_ = true;
  }

 private:
  fs::path path_;
  fs::path temporary_;
  std::ofstream out_;
  bool committed_ = false;
};

}  // namespace

int RunCreate(const std::vector<std::string>& args) {
  CreateOptions o = ParseCreate(args);
  fs::path outputPath = PathFromUtf8(o.output);
  std::vector<uint8_t> stub = ApplyBranding(LoadStub(o), o);

  CollectResult sources = CollectSources(o.inputs, o.baseDir, outputPath);
  for (const std::string& note : sources.notes) WriteErr("kaito: " + note + "\n");
  if (sources.files.empty()) throw CommandFailure("nothing to pack: the inputs hold no files");

  ArchiveOptions options;
  options.automaticMode = o.automatic;
  options.level = o.level;
  options.followUpName = o.run.empty() ? std::string() : ToCp932(WindowsSeparators(o.run), "--run " + o.run);
  options.followUpArgs = o.runArgs.empty() ? std::string() : ToCp932(o.runArgs, "--run-args");

  std::vector<PlannedEntry> plan;
  uint64_t totalBytes = 0;
  for (const SourceFile& file : sources.files) {
    std::string label = PathToUtf8(file.path);
    plan.push_back(PlannedEntry{ToCp932(file.name, label), file.size, label});
    totalBytes += file.size;
  }
  // The stub takes a required size of 0 in automatic mode for damaged data
  // and refuses to extract; such a file would never work.
  if (o.automatic && totalBytes == 0)
    throw CommandFailure("--auto needs at least one non-empty file: the inputs hold only empty files");

  OutputFile output(outputPath);
  SelfExtractingWriter writer([&output](const uint8_t* data, size_t size) { return output.Write(data, size); });
  std::string error;
  if (!writer.Begin(stub, options, plan, &error)) {
    if (error == "cannot write the output file") error = "cannot write " + o.output + ": " + SystemErrorText();
    throw CommandFailure(error);
  }

  ProgressBar bar(!o.quiet && StderrIsTerminal(), totalBytes);
  uint64_t done = 0;
  uint64_t storedCount = 0;
  for (size_t i = 0; i < sources.files.size(); ++i) {
    const SourceFile& file = sources.files[i];
    ArchiveInput input;
    input.name = plan[i].name;
    input.displayName = plan[i].displayName;
    // The times first: reading the content may move the access time.
    if (!ReadFileTimes(file.path, &input.creationTime, &input.lastWriteTime))
      throw CommandFailure("cannot read the times of " + input.displayName + ": " + SystemErrorText());
    input.content = ReadWholeFile(file.path);
    input.level = HasExtensionIn(file.name, o.storeExtensions) ? kStoreLevel : kLevelFromOptions;
    bar.Show(done, file.name);
    WrittenEntry written;
    auto progress = [&](size_t bytes) { bar.Show(done + bytes, file.name); };
    if (!writer.AddEntry(input, progress, &written, &error)) {
      if (error == "cannot write the output file") error = "cannot write " + o.output + ": " + SystemErrorText();
      throw CommandFailure(error);
    }
    storedCount += written.stored ? 1 : 0;
    done += file.size;
    bar.Show(done, file.name);
  }
  if (!writer.Finish(&error)) throw CommandFailure("cannot write " + o.output + ": " + SystemErrorText());
  output.Commit();
  bar.Clear();

  uint64_t size = writer.BytesWritten();
  char summary[256];
  std::snprintf(summary, sizeof summary, ": %zu files (%llu stored), %llu bytes packed into %llu bytes\n",
                sources.files.size(), static_cast<unsigned long long>(storedCount),
                static_cast<unsigned long long>(totalBytes), static_cast<unsigned long long>(size));
  WriteOut("wrote " + o.output + summary);
  return 0;
}
