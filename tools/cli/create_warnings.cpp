#include "tools/cli/create_warnings.h"

#include <cstring>

#include "tools/cli/name_check.h"

namespace {

std::string MiB(uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB"; }

}  // namespace

std::vector<std::string> LongPathWarnings(const std::vector<PlannedEntry>& plan) {
  std::vector<std::string> warnings;
  size_t destination = std::strlen(kTypicalDestination);
  for (const PlannedEntry& entry : plan) {
    if (entry.name.size() <= LongestSafeEntryName()) continue;
    warnings.push_back("'" + entry.displayName + "': the name takes " + std::to_string(entry.name.size()) +
                       " bytes, so the output path reaches " + std::to_string(destination + entry.name.size()) +
                       " bytes under a typical destination such as C:\\Users\\<20 characters>\\AppData\\Local\\Temp\\ (" +
                       std::to_string(destination) + " bytes); the stub opens paths of at most " +
                       std::to_string(kLongestOutputPath) + " bytes");
  }
  return warnings;
}

std::string StubMemoryWarning(const PlannedEntry& entry, const WrittenEntry& written) {
  uint64_t decoded = written.stored ? 0 : entry.size;
  uint64_t needed = written.dataSize + decoded;
  if (needed <= kStubMemoryWarning) return std::string();
  std::string detail = written.stored ? MiB(written.dataSize) + " stored"
                                      : MiB(written.dataSize) + " packed + " + MiB(decoded) + " decoded";
  return "'" + entry.displayName + "': the stub needs " + MiB(needed) + " of memory at once for this file (" + detail +
         "); above " + MiB(kStubMemoryWarning) + " a 32-bit process may not find that much and extraction can fail";
}
