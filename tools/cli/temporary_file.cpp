#include "tools/cli/temporary_file.h"

#include "tools/cli/cli_support.h"

namespace fs = std::filesystem;

const char* const kTemporarySuffix = ".kaito-partial";

fs::path TemporaryPathFor(const fs::path& path) {
  fs::path temporary = path;
  temporary += kTemporarySuffix;
  return temporary;
}

TemporaryFile::TemporaryFile(const fs::path& path, CleanupSlot slot)
    : path_(path), temporary_(TemporaryPathFor(path)), slot_(slot) {
  InstallInterruptCleanup();
  // Registered before it exists: an interrupt right after the create still removes it.
  SetInterruptCleanup(slot_, temporary_);
  file_ = CreateHostFile(temporary_, &error_);
  if (file_ == kNoHostFile) {
    SetInterruptCleanup(slot_, fs::path());
    throw CommandFailure("cannot write " + PathToUtf8(path_) + ": " + error_);
  }
}

TemporaryFile::~TemporaryFile() {
  if (!committed_) Discard();
}

bool TemporaryFile::Write(const uint8_t* data, size_t size) { return WriteHostFile(file_, data, size, &error_); }

bool TemporaryFile::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
  return WriteHostFileAt(file_, offset, data, size, &error_);
}

void TemporaryFile::Commit() {
  HostFile file = file_;
  file_ = kNoHostFile;
  if (!CloseHostFile(file, &error_)) throw CommandFailure("cannot write " + PathToUtf8(path_) + ": " + error_);
  std::error_code code;
  fs::rename(temporary_, path_, code);
  if (code) throw CommandFailure("cannot write " + PathToUtf8(path_) + ": " + code.message());
  committed_ = true;
  SetInterruptCleanup(slot_, fs::path());
}

void TemporaryFile::Discard() {
  std::string ignored;
  if (file_ != kNoHostFile) CloseHostFile(file_, &ignored);
  file_ = kNoHostFile;
  std::error_code code;
  fs::remove(temporary_, code);
  SetInterruptCleanup(slot_, fs::path());
}
