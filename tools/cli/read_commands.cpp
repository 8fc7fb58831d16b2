// list and test: read a self-extracting file without writing anything.
#include <cstdio>

#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/entry_listing.h"
#include "tools/cli/file_time.h"
#include "tools/cli/host_platform.h"
#include "tools/cli/sfx_file.h"

namespace {

struct ReadOptions {
  std::vector<std::string> files;
  bool quiet = false;
  bool json = false;
};

ReadOptions ParseRead(const char* command, const std::vector<std::string>& args, bool manyFiles) {
  ReadOptions o;
  ArgumentReader reader(args);
  bool isList = std::string(command) == "list";
  bool onlyOperands = false;
  while (!reader.Done()) {
    std::string arg = reader.Next();
    if (onlyOperands || arg.empty() || arg[0] != '-') {
      o.files.push_back(arg);
    } else if (arg == "--") {
      onlyOperands = true;
    } else if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else if (isList && arg == "--json") {
      o.json = true;
    } else {
      throw UsageFailure(std::string(command) + ": unknown option '" + arg + "'");
    }
  }
  if (o.files.empty()) throw UsageFailure(std::string(command) + ": the self-extracting file is missing");
  if (!manyFiles && o.files.size() > 1) throw UsageFailure(std::string(command) + ": only one file, please");
  return o;
}

// Decodes everything in one file and checks the layout; throws CommandFailure.
void TestOne(const std::string& file, bool quiet) {
  SelfExtractingFile sfx(PathFromUtf8(file));
  ProgressBar bar(!quiet && StderrIsTerminal(), sfx.fileSize());
  uint64_t outputTotal = 0;
  for (uint32_t i = 0; i < sfx.header().entryCount; ++i) {
    ParsedEntry entry = sfx.NextEntry();
    std::string name = NameForDisplay(std::string(reinterpret_cast<const char*>(entry.name), entry.nameLength));
    bar.Show(entry.dataOffset, name);
    // Without a record a stored entry has nothing to check but its size.
    if (EntryIsStored(entry.header) && !sfx.HasIntegrityRecord())
      outputTotal += entry.dataSize;
    else
      outputTotal += sfx.Content(entry).size();
  }
  sfx.Finish();
  const ArchiveParser& parser = sfx.parser();
  if (outputTotal != sfx.header().requiredSize)
    sfx.Corrupt(("required size " + std::to_string(sfx.header().requiredSize) +
                 " differs from the files' total " + std::to_string(outputTotal))
                    .c_str(),
                parser.locator + 12);
  StubCheck stub = sfx.CheckStub();
  bar.Clear();
  if (stub == StubCheck::Mismatch)
    sfx.Corrupt(sfx.HasIntegrityRecord() ? "the PE checksum in the header does not match: the stub part is damaged"
                                         : "the PE checksum in the header does not match: the file is damaged",
                static_cast<uint32_t>(sfx.checksumField()));
  if (sfx.BytesBehindEntries() != 0)
    WriteErr("kaito: warning: " + ForTerminal(file) + ": " + std::to_string(sfx.BytesBehindEntries()) +
             " bytes between the last entry and the trailer belong to no entry; every reader skips them\n");
  if (quiet) return;
  std::string counts = CountOf(sfx.header().entryCount, "file") + ", " + CountOf(outputTotal, "byte");
  if (!sfx.HasIntegrityRecord())
    WriteOut(ForTerminal(file) + ": OK, structure checked only: no integrity record, so the content could not be verified (" +
             counts + ")\n");
  else if (stub == StubCheck::Absent)
    WriteOut(ForTerminal(file) + ": OK, content verified; the stub part was not checked: it carries no PE checksum (" +
             counts + ")\n");
  else
    WriteOut(ForTerminal(file) + ": OK, content verified (" + counts + ")\n");
}

}  // namespace

int RunList(const std::vector<std::string>& args) {
  ReadOptions o = ParseRead("list", args, false);
  SelfExtractingFile sfx(PathFromUtf8(o.files[0]));
  std::vector<ListedEntry> entries = ReadListing(sfx);
  WriteOut(o.json ? ListingJson(o.files[0], sfx, entries) : ListingText(sfx, entries, o.quiet));
  return 0;
}

int RunTest(const std::vector<std::string>& args) {
  ReadOptions o = ParseRead("test", args, true);
  // Every file is tested; each failure is one line, and any failure fails the command.
  size_t failed = 0;
  for (const std::string& file : o.files) {
    try {
      TestOne(file, o.quiet);
    } catch (const CommandFailure& failure) {
      WriteErr("kaito: " + ForTerminal(failure.what()) + "\n");
      ++failed;
    }
  }
  if (failed > 0 && o.files.size() > 1)
    WriteErr("kaito: " + std::to_string(failed) + " of " + CountOf(o.files.size(), "file") + " failed the test\n");
  return failed == 0 ? 0 : 1;
}
