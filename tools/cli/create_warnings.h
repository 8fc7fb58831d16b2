// Inputs that create accepts but that can fail for the user who runs the
// self-extracting file: warned about at create time, with the figures.
#pragma once

#include <string>
#include <vector>

#include "tools/archive_writer.h"

// The stub opens output paths of at most 259 bytes: one warning per name that
// passes that under a typical destination (see name_check.h).
std::vector<std::string> LongPathWarnings(const std::vector<PlannedEntry>& plan);

// The stub holds an entry's data and, for a compressed entry, its decoded
// bytes in memory at once, in a 32-bit process whose 2 GiB address space is
// shared with the system's DLLs.  Above this it may not find the room.
constexpr uint64_t kStubMemoryWarning = 512ull << 20;
// A warning when the entry needs more than kStubMemoryWarning; "" otherwise.
std::string StubMemoryWarning(const PlannedEntry& entry, const WrittenEntry& written);
