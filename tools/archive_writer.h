// Writes self-extracting files: the stub unchanged except for its locator
// value L (its own length), the archive header, the follow-up strings, the
// entries back to back, then the padding and integrity record (see
// archive/integrity_record.h) and the trailer L; the file's length is a
// multiple of 8, ready for a signing tool.  Last, the PE checksum of the
// whole file goes into the stub's header, so that damage to the stub part
// can be found too (tools/pe/pe_checksum.h).
// Everything the stub would refuse is refused here first, with a message that
// names the offending file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/integrity_record.h"
#include "tools/encoder/block_encoder.h"
#include "tools/pe/pe_checksum.h"

constexpr int kLevelFromOptions = -1;

struct ArchiveInput {
  std::string name;  // code page 932 bytes, '\' between folders
  std::vector<uint8_t> content;
  FileTime creationTime{0, 0};
  FileTime lastWriteTime{0, 0};
  int level = kLevelFromOptions;  // 0 stores; 1..9 encodes; -1 takes ArchiveOptions::level
  std::string displayName;        // for messages (UTF-8); empty: the name itself
};

struct ArchiveOptions {
  uint16_t automaticMode = kAutomaticModeOff;  // kAutomaticModeOn, kAutomaticModeWrapper
  std::string followUpName;  // code page 932; empty: no follow-up program
  std::string followUpArgs;  // only with a follow-up name
  int level = kDefaultLevel;
};

// What the writer needs to know of an entry before any data is written.
struct PlannedEntry {
  std::string name;
  uint64_t size = 0;
  std::string displayName;
};

// What became of an entry.
struct WrittenEntry {
  bool stored = false;
  uint32_t dataSize = 0;  // bytes in the archive (block or content)
};

// Receives the file's bytes in order; answers false when it cannot take them.
using ByteSink = std::function<bool(const uint8_t* data, size_t size)>;
// Writes bytes over ones already received, at a file offset.
using PatchSink = std::function<bool(uint64_t offset, const uint8_t* data, size_t size)>;

class SelfExtractingWriter {
 public:
  SelfExtractingWriter(ByteSink sink, PatchSink patch) : sink_(std::move(sink)), patch_(std::move(patch)) {}

  // Checks the stub, the options and every planned name and size, then writes
  // the patched stub, the header and the follow-up strings.
  bool Begin(const std::vector<uint8_t>& stub, const ArchiveOptions& options,
             const std::vector<PlannedEntry>& plan, std::string* error);
  // Writes the next planned entry, whose name and size must match the plan.
  bool AddEntry(const ArchiveInput& input, const EncodeProgress& progress, WrittenEntry* written,
                std::string* error);
  // Writes the padding, the integrity record and the trailer once every
  // planned entry has been added, then patches the PE checksum in.
  bool Finish(std::string* error);

  uint64_t BytesWritten() const { return written_; }

 private:
  bool Put(const uint8_t* data, size_t size, std::string* error);

  ByteSink sink_;
  PatchSink patch_;
  PeChecksum checksum_{0};
  uint64_t checksumField_ = 0;
  ArchiveOptions options_;
  std::vector<PlannedEntry> plan_;
  size_t nextEntry_ = 0;
  uint32_t locator_ = 0;
  uint32_t startCheck_ = 0;
  std::vector<EntryCheck> entryChecks_;
  uint64_t written_ = 0;
  bool begun_ = false;
};

// The whole self-extracting file in memory, for tests and small tools.
bool BuildSelfExtractingImage(const std::vector<uint8_t>& stub, const std::vector<ArchiveInput>& entries,
                              const ArchiveOptions& options, std::vector<uint8_t>* image,
                              std::string* error);

// Checks an entry name as the writer does (exposed for the command line, which
// checks every name before it reads any file).  `label` names the file in the message.
bool CheckEntryName(const std::string& name, const std::string& label, std::string* error);
