#include "archive/stub_reader.h"

#include <cstring>

#include "archive/archive_end.h"
#include "archive/checksum.h"
#include "archive/container_checks.h"
#include "archive/integrity_record.h"

namespace {

constexpr DWORD kModulePathSize = 520;
constexpr DWORD kSummaryPathSize = 260;

// Set only by tests, to point the reader at a file of their choosing.
const char* g_overridePath = nullptr;
uint32_t g_overrideLocator = 0;

bool Cancelled(CancelTest cancel) { return cancel != nullptr && cancel(); }

// Reads exactly `size` bytes at the current position.  A failed call is a
// ReadFailure; fewer bytes than asked (declared sizes running past the end of
// the file) is a CorruptArchive.  `position` follows the file pointer either way.
ReaderOutcome ReadExactly(OpenArchive* archive, void* buffer, uint32_t size) {
  DWORD got = 0;
  if (!ReadFile(archive->file.Get(), buffer, size, &got, nullptr)) return ReaderOutcome::ReadFailure;
  archive->position += got;
  return got == size ? ReaderOutcome::Ok : ReaderOutcome::CorruptArchive;
}

// Reads exactly `size` bytes at `offset`, for the reads behind the forward
// walk (the PE header, the trailer, the record), whose places lie inside the
// file: a failed call or a short answer is a ReadFailure.
ReaderOutcome ReadAt(HANDLE file, uint32_t offset, void* buffer, uint32_t size) {
  DWORD got = 0;
  // Offsets stay below 2 GiB: the file size was checked first.
  if (SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != offset ||
      !ReadFile(file, buffer, size, &got, nullptr) || got != size)
    return ReaderOutcome::ReadFailure;
  return ReaderOutcome::Ok;
}

// The certificate-table entry of the file's own PE header; {0, 0} when the
// file is too short to hold one, or is no PE32 image (nobody can have signed it).
ReaderOutcome ReadCertificateTable(HANDLE file, uint32_t fileSize, CertificateTable* table) {
  table->offset = 0;
  table->size = 0;
  uint8_t field[4];
  if (fileSize < kPeOffsetField + sizeof field) return ReaderOutcome::Ok;
  ReaderOutcome outcome = ReadAt(file, kPeOffsetField, field, sizeof field);
  if (outcome != ReaderOutcome::Ok) return outcome;
  uint32_t peOffset = LoadU32(field);
  if (peOffset > fileSize || fileSize - peOffset < kPeHeadThroughCertificateEntry) return ReaderOutcome::Ok;
  uint8_t head[kPeHeadThroughCertificateEntry];
  outcome = ReadAt(file, peOffset, head, sizeof head);
  if (outcome == ReaderOutcome::Ok) *table = ReadCertificateEntry(head);
  return outcome;
}

// Finds the trailer: at the archive's end, which is the file's end or, in a
// signed file, the certificate table's start (behind up to 7 bytes of a
// signing tool's zero padding).  It must repeat the locator.
ReaderOutcome LocateTrailer(OpenArchive* archive, uint32_t locator, uint32_t fileSize) {
  CertificateTable table;
  ReaderOutcome outcome = ReadCertificateTable(archive->file.Get(), fileSize, &table);
  if (outcome != ReaderOutcome::Ok) return outcome;
  uint32_t archiveEnd = 0;
  if (!FindArchiveEnd(table, fileSize, &archiveEnd)) return ReaderOutcome::CorruptArchive;
  uint8_t tail[kTrailerSize + kSignerPaddingLimit];
  uint32_t tailSize = archiveEnd < sizeof tail ? archiveEnd : static_cast<uint32_t>(sizeof tail);
  if (tailSize < kTrailerSize) return ReaderOutcome::ReadFailure;
  outcome = ReadAt(archive->file.Get(), archiveEnd - tailSize, tail, tailSize);
  if (outcome != ReaderOutcome::Ok) return outcome;
  uint32_t distance = FindTrailer(tail, tailSize, locator, table.size != 0);
  if (distance == 0) return ReaderOutcome::CorruptArchive;
  archive->trailerPosition = archiveEnd - distance;
  archive->entriesEnd = archive->trailerPosition;
  return ReaderOutcome::Ok;
}

// Finds the integrity record in front of the trailer, if the file carries
// one, reads it whole into a process-heap buffer and checks its place and
// its own checksum.  The entries then must end where its padding begins.
ReaderOutcome OpenIntegrityRecord(OpenArchive* archive, uint32_t locator) {
  if (archive->trailerPosition - locator < kArchiveHeaderSize + kIntegrityFooterSize) return ReaderOutcome::Ok;
  uint8_t bytes[kIntegrityFooterSize];
  ReaderOutcome outcome = ReadAt(archive->file.Get(), archive->trailerPosition - kIntegrityFooterSize, bytes,
                                 kIntegrityFooterSize);
  if (outcome != ReaderOutcome::Ok || !HasIntegrityMarker(bytes)) return outcome;
  IntegrityFooter footer = ParseIntegrityFooter(bytes);
  archive->startCheck = footer.startCheck;
  archive->paddingSize = footer.paddingSize;
  uint32_t recordStart = 0;
  if (!PlaceIntegrityRecord(footer, archive->header, locator, archive->trailerPosition, &recordStart,
                           &archive->entriesEnd))
    return ReaderOutcome::CorruptArchive;
  uint32_t size = IntegrityRecordSize(footer.entryCount);
  archive->record = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
  if (archive->record == nullptr) return ReaderOutcome::OutOfMemory;
  outcome = ReadAt(archive->file.Get(), recordStart, archive->record, size);
  if (outcome != ReaderOutcome::Ok) return outcome;
  return IntegrityRecordIntact(archive->record, size) ? ReaderOutcome::Ok : ReaderOutcome::CorruptArchive;
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
  archive->file.Reset(file);
  if (Cancelled(cancel)) return ReaderOutcome::Cancelled;

  // Positions are handed to a signed 32-bit seek.  A failed query answers
  // INVALID_FILE_SIZE, which is refused with them; so is a file of 4 GiB or
  // more whose low half looks small, since its trailer is not where it looks.
  DWORD fileSize = GetFileSize(file, nullptr);
  if (fileSize > kMaxSelfExtractingFileSize) return ReaderOutcome::CorruptArchive;
  ReaderOutcome outcome = LocateTrailer(archive, locator, fileSize);
  if (outcome != ReaderOutcome::Ok) return outcome;
  if (!CheckFileSize(archive->trailerPosition + kTrailerSize, locator))
    return ReaderOutcome::CorruptArchive;
  if (Cancelled(cancel)) return ReaderOutcome::Cancelled;

  // The size check above keeps the header in front of the trailer.
  uint8_t* header = archive->headerBytes;
  outcome = ReadAt(file, locator, header, kArchiveHeaderSize);
  if (outcome != ReaderOutcome::Ok) return outcome;
  archive->position = locator + kArchiveHeaderSize;
  archive->header = ParseArchiveHeader(header);
  if (!CheckArchiveHeader(archive->header)) return ReaderOutcome::CorruptArchive;

  outcome = OpenIntegrityRecord(archive, locator);
  if (outcome != ReaderOutcome::Ok) return outcome;
  // Back to the first byte behind the header, where the forward walk goes on.
  if (SetFilePointer(file, static_cast<LONG>(archive->position), nullptr, FILE_BEGIN) != archive->position)
    return ReaderOutcome::ReadFailure;
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
  // Field by field: the file closes itself, the rest starts from zero.
  archive->file.Close();
  std::memset(&archive->header, 0, sizeof archive->header);
  std::memset(archive->headerBytes, 0, sizeof archive->headerBytes);
  archive->position = archive->trailerPosition = archive->entriesEnd = 0;
  archive->record = nullptr;
  archive->startCheck = archive->paddingSize = archive->entriesRead = archive->contentCheck = 0;
  ReaderOutcome outcome = OpenAndCheck(path, locator, cancel, archive);
  if (outcome != ReaderOutcome::Ok) CloseArchive(archive);
  return outcome;
}

ReaderOutcome LocateArchive(CancelTest cancel, OpenArchive* archive) {
  archive->file.Close();
  archive->record = nullptr;
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

ReaderOutcome CheckArchiveStart(const OpenArchive* archive, const char* followUpName,
                                const char* followUpArgs) {
  if (archive->record == nullptr) return ReaderOutcome::Ok;
  // The header's bytes as read and the strings behind them, as the checksum
  // covers them (the lengths were checked to fit their buffers).
  uint8_t bytes[kArchiveHeaderSize + 2 * kMaxFollowUpLength];
  std::memcpy(bytes, archive->headerBytes, kArchiveHeaderSize);
  uint32_t nameLength = archive->header.followUpNameLength;
  uint32_t stringsSize = FollowUpStringsSize(archive->header);
  std::memcpy(bytes + kArchiveHeaderSize, followUpName, nameLength);
  std::memcpy(bytes + kArchiveHeaderSize + nameLength, followUpArgs, stringsSize - nameLength);
  return Checksum32(bytes, kArchiveHeaderSize + stringsSize) == archive->startCheck ? ReaderOutcome::Ok
                                                                                   : ReaderOutcome::CorruptArchive;
}

ReaderOutcome ReadEntryHeader(OpenArchive* archive, EntryHeader* entry, char* name) {
  if (!CheckFitsBeforeTrailer(archive->position, kEntryHeaderSize, archive->entriesEnd))
    return ReaderOutcome::CorruptArchive;
  // The header's bytes and the name, side by side as the record's checksum covers them.
  uint8_t bytes[kEntryHeaderSize + kMaxNameLength];
  ReaderOutcome outcome = ReadExactly(archive, bytes, kEntryHeaderSize);
  if (outcome != ReaderOutcome::Ok) return outcome;
  *entry = ParseEntryHeader(bytes);
  if (!CheckEntryHeader(*entry)) return ReaderOutcome::CorruptArchive;

  uint32_t nameLength = EntryNameLength(*entry);
  std::memset(name, 0, kNameBufferSize);
  if (!CheckFitsBeforeTrailer(archive->position, nameLength, archive->entriesEnd))
    return ReaderOutcome::CorruptArchive;
  outcome = ReadExactly(archive, bytes + kEntryHeaderSize, nameLength);
  if (outcome != ReaderOutcome::Ok) return outcome;
  std::memcpy(name, bytes + kEntryHeaderSize, nameLength);
  if (!IsSafeEntryName(bytes + kEntryHeaderSize, nameLength, IsSystemLeadByte))
    return ReaderOutcome::CorruptArchive;
  if (archive->record != nullptr) {
    // The record holds one check per entry of the header (PlaceIntegrityRecord).
    if (archive->entriesRead >= archive->header.entryCount) return ReaderOutcome::CorruptArchive;
    EntryCheck check = ParseEntryCheck(archive->record + archive->entriesRead * kEntryCheckSize);
    if (Checksum32(bytes, kEntryHeaderSize + nameLength) != check.headerCheck)
      return ReaderOutcome::CorruptArchive;
    archive->contentCheck = check.contentCheck;
  }
  ++archive->entriesRead;
  return ReaderOutcome::Ok;
}

ReaderOutcome ReadEntryData(OpenArchive* archive, const EntryHeader& entry, uint8_t** data) {
  *data = nullptr;
  if (!CheckFitsBeforeTrailer(archive->position, entry.dataSize, archive->entriesEnd))
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

ReaderOutcome CheckEntryContent(const OpenArchive* archive, const uint8_t* content, uint32_t size) {
  if (archive->record == nullptr || Checksum32(content, size) == archive->contentCheck) return ReaderOutcome::Ok;
  return ReaderOutcome::CorruptArchive;
}

ReaderOutcome FinishArchive(OpenArchive* archive) {
  if (archive->record == nullptr) return ReaderOutcome::Ok;
  if (archive->position != archive->entriesEnd) return ReaderOutcome::CorruptArchive;
  uint8_t padding[kFileLengthAlignment];  // paddingSize is 0..7: PlaceIntegrityRecord
  ReaderOutcome outcome = ReadExactly(archive, padding, archive->paddingSize);
  if (outcome != ReaderOutcome::Ok) return outcome;
  for (uint32_t i = 0; i < archive->paddingSize; ++i)
    if (padding[i] != 0) return ReaderOutcome::CorruptArchive;
  return ReaderOutcome::Ok;
}

void CloseArchive(OpenArchive* archive) {
  archive->file.Close();
  if (archive->record != nullptr) HeapFree(GetProcessHeap(), 0, archive->record);
  archive->record = nullptr;
}

uint32_t ReadArchiveSummaryAt(const char* path, uint32_t locator, int* automaticMode,
                              bool* installerWrapper) {
  if (automaticMode != nullptr) *automaticMode = 0;
  if (installerWrapper != nullptr) *installerWrapper = false;
  OpenArchive archive;
  if (LocateArchiveAt(path, locator, nullptr, &archive) != ReaderOutcome::Ok) return 0;
  CloseArchive(&archive);
  if (automaticMode != nullptr) *automaticMode = archive.header.automaticMode != kAutomaticModeOff ? 1 : 0;
  if (installerWrapper != nullptr)
    *installerWrapper = archive.header.automaticMode == kAutomaticModeWrapper;
  return archive.header.requiredSize;
}

uint32_t ReadArchiveSummary(int* automaticMode, bool* installerWrapper) {
  if (automaticMode != nullptr) *automaticMode = 0;
  if (installerWrapper != nullptr) *installerWrapper = false;
  char path[kSummaryPathSize];
  uint32_t locator = 0;
  if (!FindOwnArchive(path, kSummaryPathSize, &locator)) return 0;
  return ReadArchiveSummaryAt(path, locator, automaticMode, installerWrapper);
}
