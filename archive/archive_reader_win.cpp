#include "archive/archive_reader.h"

#include <cstring>

#include "archive/container_checks.h"

namespace {

constexpr DWORD kModulePathSize = 520;
constexpr DWORD kSummaryPathSize = 260;

// Set only by tests, to point the reader at a file of their choosing.
const char* g_overridePath = nullptr;
uint32_t g_overrideLocator = 0;

bool Cancelled(CancelTest cancel) { return cancel != nullptr && cancel(); }

// The stub runs under the system's ANSI code page; names are stepped the way
// CreateFileA will interpret them.
bool IsSystemLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != FALSE; }

// Reads exactly `size` bytes at the current position.  A failed call is a
// ReadFailure; fewer bytes than asked (declared sizes running past the end of
// the file) is a CorruptArchive.  `position` follows the file pointer either way.
ReaderOutcome ReadExactly(OpenArchive* archive, void* buffer, uint32_t size) {
  DWORD got = 0;
  if (!ReadFile(archive->file, buffer, size, &got, nullptr)) return ReaderOutcome::ReadFailure;
  archive->position += got;
  return got == size ? ReaderOutcome::Ok : ReaderOutcome::CorruptArchive;
}

// The steps after the locator is known, with the cancel test consulted after
// the locator, after the open and after the size check.
ReaderOutcome OpenAndCheck(const char* path, uint32_t locator, CancelTest cancel,
                           OpenArchive* archive) {
  if (Cancelled(cancel)) return ReaderOutcome::Cancelled;
  // Filled field by field: an initializer list makes the compiler copy a
  // template from a writable data section, which costs the stub a section.
  SECURITY_ATTRIBUTES inheritable;
  inheritable.nLength = sizeof(SECURITY_ATTRIBUTES);
  inheritable.lpSecurityDescriptor = nullptr;
  inheritable.bInheritHandle = TRUE;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, &inheritable, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ReaderOutcome::CannotStart;
  archive->file = file;
  if (Cancelled(cancel)) return ReaderOutcome::Cancelled;

  uint8_t trailer[kTrailerSize];
  DWORD got = 0;
  SetFilePointer(file, -static_cast<LONG>(kTrailerSize), nullptr, FILE_END);
  if (!ReadFile(file, trailer, kTrailerSize, &got, nullptr) || got != kTrailerSize)
    return ReaderOutcome::ReadFailure;
  if (CheckTrailer(LoadU32(trailer), locator) != ReaderOutcome::Ok)
    return ReaderOutcome::CorruptArchive;

  DWORD fileSize = SetFilePointer(file, 0, nullptr, FILE_END);
  if (fileSize == INVALID_SET_FILE_POINTER || CheckFileSize(fileSize, locator) != ReaderOutcome::Ok)
    return ReaderOutcome::CorruptArchive;
  archive->trailerPosition = fileSize - kTrailerSize;
  if (Cancelled(cancel)) return ReaderOutcome::Cancelled;

  // The seek takes a signed offset: a locator of 2 GiB or more cannot be reached.
  if (SetFilePointer(file, static_cast<LONG>(locator), nullptr, FILE_BEGIN) != locator)
    return ReaderOutcome::CorruptArchive;
  archive->position = locator;
  uint8_t header[kArchiveHeaderSize];
  ReaderOutcome outcome = ReadExactly(archive, header, kArchiveHeaderSize);
  if (outcome != ReaderOutcome::Ok) return outcome;
  archive->header = ParseArchiveHeader(header);
  if (CheckArchiveHeader(archive->header) != ReaderOutcome::Ok) return ReaderOutcome::CorruptArchive;
  return ReaderOutcome::Ok;
}

// Reads `length` bytes into a zeroed 260-byte string buffer; a failed read
// leaves it empty.  The length was checked to fit when the header was read.
void ReadFollowUpString(OpenArchive* archive, char* buffer, uint32_t length) {
  if (ReadExactly(archive, buffer, length) != ReaderOutcome::Ok)
    std::memset(buffer, 0, kFollowUpBufferSize);
}

// The program's own path and locator value, or the test override.
bool FindOwnArchive(char* path, DWORD pathSize, uint32_t* locator) {
  if (g_overridePath != nullptr) {
    if (lstrlenA(g_overridePath) >= static_cast<int>(pathSize)) return false;
    lstrcpyA(path, g_overridePath);
    *locator = g_overrideLocator;
    return true;
  }
  // The program's own module: the reader needs nothing from the layers above.
  HMODULE self = GetModuleHandleA(nullptr);
  DWORD length = GetModuleFileNameA(self, path, pathSize);
  if (length == 0 || length >= pathSize) return false;
  return ReadLocator(self, locator);
}

}  // namespace

void OverrideArchiveSource(const char* path, uint32_t locator) {
  g_overridePath = path;
  g_overrideLocator = locator;
}

bool ReadLocator(HMODULE module, uint32_t* locator) {
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(kLocatorResourceId), kLocatorResourceType);
  if (resource == nullptr || SizeofResource(module, resource) < kLocatorSize) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return false;
  *locator = LoadU32(static_cast<const uint8_t*>(bytes));
  return true;
}

ReaderOutcome LocateArchiveAt(const char* path, uint32_t locator, CancelTest cancel,
                              OpenArchive* archive) {
  archive->file = INVALID_HANDLE_VALUE;
  archive->position = 0;
  archive->trailerPosition = 0;
  std::memset(&archive->header, 0, sizeof archive->header);
  ReaderOutcome outcome = OpenAndCheck(path, locator, cancel, archive);
  if (outcome != ReaderOutcome::Ok) CloseArchive(archive);
  return outcome;
}

ReaderOutcome LocateArchive(CancelTest cancel, OpenArchive* archive) {
  archive->file = INVALID_HANDLE_VALUE;
  char path[kModulePathSize];
  uint32_t locator = 0;
  if (!FindOwnArchive(path, kModulePathSize, &locator)) return ReaderOutcome::CannotStart;
  return LocateArchiveAt(path, locator, cancel, archive);
}

void ReadFollowUpStrings(OpenArchive* archive, char* followUpName, char* followUpArgs) {
  std::memset(followUpName, 0, kFollowUpBufferSize);
  std::memset(followUpArgs, 0, kFollowUpBufferSize);
  const ArchiveHeader& h = archive->header;
  if (h.followUpNameLength == 0) return;
  ReadFollowUpString(archive, followUpName, h.followUpNameLength);
  if (h.followUpArgsLength > 0) ReadFollowUpString(archive, followUpArgs, h.followUpArgsLength);
}

ReaderOutcome ReadEntryHeader(OpenArchive* archive, EntryHeader* entry, char* name) {
  if (CheckFitsBeforeTrailer(archive->position, kEntryHeaderSize, archive->trailerPosition) !=
      ReaderOutcome::Ok)
    return ReaderOutcome::CorruptArchive;
  uint8_t bytes[kEntryHeaderSize];
  ReaderOutcome outcome = ReadExactly(archive, bytes, kEntryHeaderSize);
  if (outcome != ReaderOutcome::Ok) return outcome;
  *entry = ParseEntryHeader(bytes);
  if (CheckEntryHeader(*entry) != ReaderOutcome::Ok) return ReaderOutcome::CorruptArchive;

  uint32_t nameLength = EntryNameLength(*entry);
  std::memset(name, 0, kNameBufferSize);
  if (CheckFitsBeforeTrailer(archive->position, nameLength, archive->trailerPosition) !=
      ReaderOutcome::Ok)
    return ReaderOutcome::CorruptArchive;
  outcome = ReadExactly(archive, name, nameLength);
  if (outcome != ReaderOutcome::Ok) return outcome;
  if (!IsSafeEntryName(reinterpret_cast<const uint8_t*>(name), nameLength, IsSystemLeadByte))
    return ReaderOutcome::CorruptArchive;
  return ReaderOutcome::Ok;
}

ReaderOutcome ReadEntryData(OpenArchive* archive, const EntryHeader& entry, uint8_t** data) {
  *data = nullptr;
  if (CheckFitsBeforeTrailer(archive->position, entry.dataSize, archive->trailerPosition) !=
      ReaderOutcome::Ok)
    return ReaderOutcome::CorruptArchive;
  // HeapAlloc of 0 bytes still answers a block, so an empty file has a buffer too.
  void* buffer = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, entry.dataSize);
  if (buffer == nullptr) return ReaderOutcome::OutOfMemory;
  ReaderOutcome outcome = ReadExactly(archive, buffer, entry.dataSize);
  if (outcome != ReaderOutcome::Ok) {
    HeapFree(GetProcessHeap(), 0, buffer);
    return outcome;
  }
  *data = static_cast<uint8_t*>(buffer);
  return ReaderOutcome::Ok;
}

void CloseArchive(OpenArchive* archive) {
  if (archive->file != INVALID_HANDLE_VALUE && archive->file != nullptr) CloseHandle(archive->file);
  archive->file = INVALID_HANDLE_VALUE;
}

uint32_t ReadArchiveSummaryAt(const char* path, uint32_t locator, int* automaticMode) {
  if (automaticMode != nullptr) *automaticMode = 0;
  OpenArchive archive;
  if (LocateArchiveAt(path, locator, nullptr, &archive) != ReaderOutcome::Ok) return 0;
  CloseArchive(&archive);
  if (automaticMode != nullptr) *automaticMode = archive.header.automaticMode != 0 ? 1 : 0;
  return archive.header.requiredSize;
}

uint32_t ReadArchiveSummary(int* automaticMode) {
  if (automaticMode != nullptr) *automaticMode = 0;
  char path[kSummaryPathSize];
  uint32_t locator = 0;
  if (!FindOwnArchive(path, kSummaryPathSize, &locator)) return 0;
  return ReadArchiveSummaryAt(path, locator, automaticMode);
}
