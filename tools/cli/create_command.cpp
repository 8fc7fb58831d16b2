// create: checks the output, every input and name first, then writes the
// self-extracting file under a temporary name and renames it when complete.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tools/archive_writer.h"
#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/create_options.h"
#include "tools/cli/create_warnings.h"
#include "tools/cli/file_kind.h"
#include "tools/cli/follow_up_kind.h"
#include "tools/cli/host_platform.h"
#include "tools/cli/name_case.h"
#include "tools/cli/name_check.h"
#include "tools/cli/source_collection.h"
#include "tools/cli/store_extensions.h"
#include "tools/cli/stored_times.h"
#include "tools/cli/temporary_file.h"
#include "tools/pe/ico_file.h"
#include "tools/pe/stub_branding.h"

namespace fs = std::filesystem;

namespace {

// The finished file is renamed onto the output name, which replaces whatever
// is there: only a regular file (or a link, which is replaced, not followed)
// may be.  A folder named with a trailing separator, or a missing folder, is
// said before any work.
void CheckOutput(const std::string& output) {
  fs::path path = PathFromUtf8(output);
  std::error_code code;
  fs::file_status status = fs::symlink_status(path, code);
  if (fs::is_directory(status) || (!path.has_filename() && fs::exists(status)))
    throw CommandFailure("-o " + output + ": is a folder; name the file to write");
  if (!path.has_filename()) throw CommandFailure("-o " + output + ": names a folder, not a file");
  if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_symlink(status))
    throw CommandFailure("-o " + output +
                         ": is a device, pipe or socket; kaito writes a new file and renames it onto the name, "
                         "which would replace it");
  fs::path folder = path.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, code))
    throw CommandFailure("cannot write " + output + ": " +
                         (fs::exists(folder, code) ? PathToUtf8(folder) + " is not a folder"
                                                   : "there is no folder " + PathToUtf8(folder)));
}

std::vector<uint8_t> LoadStub(const CreateOptions& o) {
  if (!o.stub.empty()) return ReadWholeFile(PathFromUtf8(o.stub));
  if (kEmbeddedStubSize == 0)
    throw CommandFailure("this kaito was built without a stub: name one with --stub FILE");
  return std::vector<uint8_t>(kEmbeddedStub, kEmbeddedStub + kEmbeddedStubSize);
}

// --icon, --version-info and --execution-level rewrite the stub's resources;
// without them the stub is written as it is.
std::vector<uint8_t> ApplyBranding(std::vector<uint8_t> stub, const CreateOptions& o) {
  if (o.icon.empty() && o.versionInfo.empty() && o.executionLevel.empty()) return stub;
  StubBranding branding;
  std::string error;
  if (!ParseVersionTexts(o.versionInfo, &branding.version, &error)) throw CommandFailure(error);
  branding.executionLevel = o.executionLevel;
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

// Every input and name that cannot be packed, one line each, then the failure.
void RefuseProblems(const std::vector<std::string>& problems) {
  if (problems.empty()) return;
  if (problems.size() == 1) throw CommandFailure(problems[0]);
  for (const std::string& problem : problems) WriteErr("kaito: " + ForTerminal(problem) + "\n");
  throw CommandFailure(CountOf(problems.size(), "input") + " cannot be packed; nothing was written");
}

// The first bytes of a file, for telling what kind of program it is.
std::vector<uint8_t> FileHead(const fs::path& path) {
  std::vector<uint8_t> head(kFollowUpHeadSize);
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

// The follow-up program must be one of the packed files ('/' is taken for
// '\', case is ignored as Windows ignores it) and a kind the stub can start.
// Answers its stored (code page 932) name.
std::string FollowUpName(const std::string& run, const std::vector<SourceFile>& files,
                         const std::vector<std::string>& names) {
  std::string wanted = run;
  for (char& c : wanted)
    if (c == '/') c = '\\';
  wanted = CaseFoldedName(wanted);
  for (size_t i = 0; i < files.size(); ++i) {
    if (CaseFoldedName(files[i].name) != wanted) continue;
    std::vector<uint8_t> head = FileHead(files[i].path);
    std::string problem = FollowUpProblem(files[i].name, head.data(), head.size());
    if (!problem.empty()) throw CommandFailure("--run " + run + ": " + problem);
    return names[i];
  }
  throw CommandFailure("--run " + run + ": no packed file has this name (names are relative to the destination, " +
                       "as kaito list shows them)");
}

std::string ArgumentsCp932(const std::string& args) {
  std::string cp932;
  std::string problem = ExactCp932(args, &cp932);
  if (!problem.empty()) throw CommandFailure("--run-args: " + problem);
  return cp932;
}

std::string WriteFailure(const std::string& error, const CreateOptions& o, const TemporaryFile& output) {
  if (error != "cannot write the output file") return error;
  return "cannot write " + o.output + ": " + output.error();
}

uint16_t AutomaticMode(const CreateOptions& o) {
  if (o.cleanup) return kAutomaticModeWrapper;
  return o.automatic ? kAutomaticModeOn : kAutomaticModeOff;
}

}  // namespace

int RunCreate(const std::vector<std::string>& args) {
  CreateOptions o = ParseCreate(args);
  CheckOutput(o.output);
  TimePolicy times = MakeTimePolicy(o.mtime, std::getenv("SOURCE_DATE_EPOCH"));
  fs::path outputPath = PathFromUtf8(o.output);
  std::vector<uint8_t> stub = ApplyBranding(LoadStub(o), o);

  CollectOptions collect;
  collect.baseDir = o.baseDir;
  collect.output = outputPath;
  collect.exclude = o.exclude;
  collect.recursive = o.recursive;
  CollectResult sources = CollectSources(o.inputs, collect);
  for (const std::string& note : sources.notes) WriteErr("kaito: " + ForTerminal(note) + "\n");

  std::vector<NamedInput> named;
  for (const SourceFile& file : sources.files) named.push_back(NamedInput{file.name, PathToUtf8(file.path)});
  std::vector<std::string> names;
  std::vector<std::string> problems = sources.problems;
  std::vector<std::string> nameProblems = EntryNameProblems(named, &names);
  problems.insert(problems.end(), nameProblems.begin(), nameProblems.end());
  RefuseProblems(problems);
  if (sources.files.empty()) throw CommandFailure("nothing to pack: the inputs hold no files");

  ArchiveOptions options;
  options.automaticMode = AutomaticMode(o);
  options.level = o.level;
  options.followUpName = o.run.empty() ? std::string() : FollowUpName(o.run, sources.files, names);
  options.followUpArgs = o.runArgs.empty() ? std::string() : ArgumentsCp932(o.runArgs);

  std::vector<PlannedEntry> plan;
  uint64_t totalBytes = 0;
  for (size_t i = 0; i < sources.files.size(); ++i) {
    plan.push_back(PlannedEntry{names[i], sources.files[i].size, named[i].label});
    totalBytes += sources.files[i].size;
  }
  // The stub takes a required size of 0 in automatic mode for damaged data
  // and refuses to extract; such a file would never work.
  if (o.automatic && totalBytes == 0)
    throw CommandFailure("--auto needs at least one non-empty file: the inputs hold only empty files");
  for (const std::string& warning : LongPathWarnings(plan)) WriteErr("kaito: warning: " + ForTerminal(warning) + "\n");

  TemporaryFile output(outputPath, kCleanupOutput);
  SelfExtractingWriter writer([&output](const uint8_t* data, size_t size) { return output.Write(data, size); },
                              [&output](uint64_t offset, const uint8_t* data, size_t size) {
                                return output.WriteAt(offset, data, size);
                              });
  std::string error;
  if (!writer.Begin(stub, options, plan, &error)) throw CommandFailure(WriteFailure(error, o, output));

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
    ApplyTimePolicy(times, &input.creationTime, &input.lastWriteTime);
    input.content = ReadWholeFile(file.path);
    input.level = EndsInExtension(file.name, o.storeExtensions) ? kStoreLevel : kLevelFromOptions;
    bar.Show(done, file.name);
    WrittenEntry written;
    auto progress = [&](size_t bytes) { bar.Show(done + bytes, file.name); };
    if (!writer.AddEntry(input, progress, &written, &error)) throw CommandFailure(WriteFailure(error, o, output));
    std::string warning = StubMemoryWarning(plan[i], written);
    if (!warning.empty()) {
      bar.Clear();
      WriteErr("kaito: warning: " + ForTerminal(warning) + "\n");
    }
    storedCount += written.stored ? 1 : 0;
    done += file.size;
    bar.Show(done, file.name);
  }
  if (!writer.Finish(&error)) throw CommandFailure(WriteFailure("cannot write the output file", o, output));
  output.Commit();
  bar.Clear();

  if (!o.quiet) {
    WriteErr("kaito: wrote " + ForTerminal(o.output) + ": " + CountOf(sources.files.size(), "file") + " (" +
             std::to_string(storedCount) + " stored), " + CountOf(totalBytes, "byte") + " packed into " +
             CountOf(writer.BytesWritten(), "byte") + "\n");
  }
  return 0;
}
