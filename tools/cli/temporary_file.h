// A file written under a temporary name beside its real one ("NAME.kaito-partial")
// and renamed onto the real name only when complete.  A failure, an exception
// or an interrupt removes the temporary file, so the real name never holds a
// half-written file and no leftover is packed or refused by a later run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/cli/host_platform.h"
#include "tools/cli/interrupt_cleanup.h"

extern const char* const kTemporarySuffix;  // ".kaito-partial"

std::filesystem::path TemporaryPathFor(const std::filesystem::path& path);

class TemporaryFile {
 public:
  // Creates the temporary file and registers it for removal on an interrupt;
  // throws CommandFailure ("cannot write <path>: <why>").
  TemporaryFile(const std::filesystem::path& path, CleanupSlot slot);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // False on a write error; error() then says why.
  bool Write(const uint8_t* data, size_t size);
  // Writes over bytes already written; false on a write error.
  bool WriteAt(uint64_t offset, const uint8_t* data, size_t size);
  // Closes the file and renames it onto the real name (replacing a file there);
  // throws CommandFailure.
  void Commit();

  const std::filesystem::path& path() const { return path_; }
  const std::string& error() const { return error_; }

 private:
  void Discard();

  std::filesystem::path path_;
  std::filesystem::path temporary_;
  CleanupSlot slot_;
  HostFile file_ = kNoHostFile;
  std::string error_;
  bool committed_ = false;
};
