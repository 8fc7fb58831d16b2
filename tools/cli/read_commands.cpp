// list and test: read a self-extracting file without writing anything.
#include <cstdio>

#include "tools/cli/cli_support.h"
#include "tools/cli/commands.h"
#include "tools/cli/file_time.h"
#include "tools/cli/host_platform.h"
#include "tools/cli/sfx_file.h"

namespace {

struct ReadOptions {
  std::string file;
  bool quiet = false;
};

ReadOptions ParseRead(const char* command, const std::vector<std::string>& args) {
  ReadOptions o;
  ArgumentReader reader(args);
  while (!reader.Done()) {
    std::string arg = reader.Next();
    if (arg == "--quiet" || arg == "-q") {
      o.quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      throw UsageFailure(std::string(command) + ": unknown option '" + arg + "'");
    } else if (o.file.empty()) {
      o.file = arg;
    } else {
      throw UsageFailure(std::string(command) + ": only one file, please");
    }
  }
  if (o.file.empty()) throw UsageFailure(std::string(command) + ": the self-extracting file is missing");
  return o;
}

std::string Format(const char* format, unsigned long long a) {
  char text[64];
  std::snprintf(text, sizeof text, format, a);
  return text;
}

std::string Summary(const SelfExtractingFile& sfx) {
  const ArchiveHeader& h = sfx.header();
  std::string text = "automatic mode: " + std::string(h.automaticMode != 0 ? "yes" : "no") + "\n";
  if (h.followUpNameLength > 0) {
    text += "follow-up program: " + NameForDisplay(sfx.parser().followUpName) + "\n";
    text += "follow-up arguments: " + NameForDisplay(sfx.parser().followUpArgs) + "\n";
  } else {
    text += "follow-up program: none\n";
  }
  text += "required size: " + Format("%llu", h.requiredSize) + " bytes\n";
  text += std::string("integrity record: ") +
          (sfx.HasIntegrityRecord() ? "yes (content checksums)" : "none (content cannot be verified)") + "\n";
  text += std::string("signed: ") + (sfx.IsSigned() ? "yes (certificate table present)" : "no") + "\n";
  return text;
}

}  // namespace

int RunList(const std::vector<std::string>& args) {
  ReadOptions o = ParseRead("list", args);
  SelfExtractingFile sfx(PathFromUtf8(o.file));
  std::string out = "method          size      packed  created              last written         name\n";
  unsigned long long total = 0, packed = 0;
  for (uint32_t i = 0; i < sfx.header().entryCount; ++i) {
    ParsedEntry entry = sfx.NextEntry();
    bool stored = EntryIsStored(entry.header);
    unsigned long long size = entry.dataSize;
    if (!stored) {
      // The block header holds the decoded size.
      std::vector<uint8_t> head(entry.dataSize < 8 ? entry.dataSize : 8);
      ParsedEntry probe = entry;
      probe.dataSize = static_cast<uint32_t>(head.size());
      head = sfx.ReadData(probe);
      size = head.size() == 8 ? LoadU32(head.data() + 4) : 0;
    }
    total += size;
    packed += entry.dataSize;
    out += std::string(stored ? "stored    " : "compressed") + Format(" %10llu", size) +
           Format(" %11llu", entry.dataSize) + "  " + FormatFileTime(entry.header.creationTime) + "  " +
           FormatFileTime(entry.header.lastWriteTime) + "  " +
           NameForDisplay(std::string(reinterpret_cast<const char*>(entry.name), entry.nameLength)) + "\n";
  }
  out += Format("%llu files, ", sfx.header().entryCount) + Format("%llu bytes, ", total) +
         Format("%llu bytes packed\n", packed);
  out += Summary(sfx);
  WriteOut(out);
  return 0;
}

int RunTest(const std::vector<std::string>& args) {
  ReadOptions o = ParseRead("test", args);
  SelfExtractingFile sfx(PathFromUtf8(o.file));
  ProgressBar bar(!o.quiet && StderrIsTerminal(), sfx.fileSize());
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
  bar.Clear();
  sfx.Finish();
  const ArchiveParser& parser = sfx.parser();
  if (outputTotal != sfx.header().requiredSize)
    sfx.Corrupt(("required size " + std::to_string(sfx.header().requiredSize) +
                 " differs from the files' total " + std::to_string(outputTotal))
                    .c_str(),
                parser.locator + 12);
  std::string counts = std::to_string(sfx.header().entryCount) + " files, " + std::to_string(outputTotal) + " bytes";
  if (sfx.HasIntegrityRecord())
    WriteOut(o.file + ": OK, content verified (" + counts + ")\n");
  else
    WriteOut(o.file + ": OK, structure checked only: no integrity record, so the content could not be verified (" +
             counts + ")\n");
  return 0;
}
