#include "extract/extract_worker.h"

#include <windows.h>

#include <cstring>

#include "archive/stub_reader.h"
#include "archive/block/block_decoder.h"
#include "extract/extract_status.h"
#include "extract/output_file.h"
#include "extract/run_log.h"

namespace {

// What the worker holds at any moment of the run.  Every way out goes
// through Finish, which releases all of it before the outcome is published,
// so that whoever sees Result non-zero finds every file closed.
struct WorkerState {
  OpenArchive archive;         // the file and its integrity record: CloseArchive
  uint8_t* data = nullptr;     // ReadEntryData's buffer: process heap
  uint8_t* decoded = nullptr;  // DecodeBlock's block: FreeBlock
  ScopedHandle output;         // CreateOutputFile's file
};

void ReleaseEntry(WorkerState* state) {
  state->output.Close();
  if (state->data != nullptr) HeapFree(GetProcessHeap(), 0, state->data);
  state->data = nullptr;
  if (state->decoded != nullptr) FreeBlock(state->decoded);
  state->decoded = nullptr;
}

void Finish(WorkerState* state, ResultCode result) {
  ReleaseEntry(state);
  CloseArchive(&state->archive);
  PublishResult(result);
}

// A failure is told to the user first; the outcome follows once the message
// has been closed, so the dialog never closes under its own message box.
void Fail(WorkerState* state, AlertCode alert, ResultCode result) {
  RaiseAlert(alert);
  Finish(state, result);
}

ResultCode ResultFor(ReaderOutcome outcome) {
  switch (outcome) {
    case ReaderOutcome::CannotStart: return ResultCode::FailedStart;
    case ReaderOutcome::ReadFailure: return ResultCode::FailedRead;
    case ReaderOutcome::OutOfMemory: return ResultCode::FailedMemory;
    default: return ResultCode::FailedCorrupt;
  }
}

// The reader's failure classes share their values with the alerts that report them.
void FailRead(WorkerState* state, ReaderOutcome outcome) {
  Fail(state, static_cast<AlertCode>(outcome), ResultFor(outcome));
}

// DestDir followed by the entry name, as stored.  False when the two do not
// fit the 260-byte path buffer together.
bool JoinOutputPath(char* outputPath) {
  size_t dirLength = std::strlen(DestDir);
  size_t nameLength = std::strlen(g_extractStatus.EntryName);
  if (dirLength + nameLength >= kPathBufferSize) return false;
  std::memcpy(outputPath, DestDir, dirLength);
  std::memcpy(outputPath + dirLength, g_extractStatus.EntryName, nameLength + 1);
  return true;
}

FILETIME ToFileTime(const FileTime& time) { return FILETIME{time.low, time.high}; }

// Writes the whole content, in one call unless the system takes fewer bytes
// than asked (a disk that fills up): the next call then fails and tells why,
// which the exit code passes on (a full disk).
bool WriteContent(HANDLE file, const uint8_t* content, uint32_t size) {
  do {
    DWORD written = 0;
    if (!WriteFile(file, content, size, &written, nullptr) || written > size ||
        (written == 0 && size > 0)) {
      g_extractStatus.WriteError = GetLastError();
      return false;
    }
    content += written;
    size -= written;
  } while (size > 0);
  return true;
}

// Writes one entry (header already read, caption shown).  The content is
// decoded and checked in memory before the output file is created, so a
// block that cannot be decoded, or content that does not match the file's
// integrity record, leaves no file behind and no older file truncated.
// False when the run has ended; the outcome is then published.
bool ExtractEntry(WorkerState* state, const EntryHeader& entry) {
  ReaderOutcome outcome = ReadEntryData(&state->archive, entry, &state->data);
  if (outcome != ReaderOutcome::Ok) {
    FailRead(state, outcome);
    return false;
  }

  const uint8_t* content = state->data;
  uint32_t size = entry.dataSize;
  if (!EntryIsStored(entry)) {
    uint32_t decodedSize = 0;
    if (DecodeBlock(state->data, entry.dataSize, &state->decoded, &decodedSize, nullptr, 0) !=
        DecodeOk) {
      Fail(state, AlertCode::ReadFailure, ResultCode::FailedRead);
      return false;
    }
    HeapFree(GetProcessHeap(), 0, state->data);
    state->data = nullptr;
    content = state->decoded;
    size = decodedSize;
  }
  outcome = CheckEntryContent(&state->archive, content, size);
  if (outcome != ReaderOutcome::Ok) {
    FailRead(state, outcome);
    return false;
  }

  char outputPath[kPathBufferSize];
  if (JoinOutputPath(outputPath)) state->output.Reset(CreateOutputFile(outputPath));
  if (!state->output.IsOpen()) {
    Fail(state, AlertCode::CannotCreateFile, ResultCode::FailedCreate);
    return false;
  }
  if (!WriteContent(state->output.Get(), content, size)) {
    Fail(state, AlertCode::WriteFailure, ResultCode::FailedWrite);
    return false;
  }
  FILETIME creation = ToFileTime(entry.creationTime);
  FILETIME lastWrite = ToFileTime(entry.lastWriteTime);
  SetFileTime(state->output.Get(), &creation, &lastWrite, &lastWrite);
  ReleaseEntry(state);
  LogLine(kLogWrote, outputPath);
  return true;
}

}  // namespace

void ExtractWorker() {
  WorkerState state;
  // LocateArchive consults TakeCancel once the locator is known, after the
  // file is opened and after the size check; it closes the file itself when
  // it answers anything but Ok.
  ReaderOutcome outcome = LocateArchive(TakeCancel, &state.archive);
  if (outcome == ReaderOutcome::Cancelled) {
    Finish(&state, ResultCode::Cancelled);
    return;
  }
  if (outcome != ReaderOutcome::Ok) {
    FailRead(&state, outcome);
    return;
  }
  // Once more with the header checked, before anything behind it is read.
  if (TakeCancel()) {
    Finish(&state, ResultCode::Cancelled);
    return;
  }
  ReadFollowUpStrings(&state.archive, g_extractStatus.FollowUpName, g_extractStatus.FollowUpArgs);
  // With an integrity record, nothing is extracted from an archive whose
  // header or follow-up strings differ from what was packed.
  outcome = CheckArchiveStart(&state.archive, g_extractStatus.FollowUpName, g_extractStatus.FollowUpArgs);
  if (outcome != ReaderOutcome::Ok) {
    FailRead(&state, outcome);
    return;
  }

  const uint32_t entryCount = state.archive.header.entryCount;
  for (uint32_t done = 0; done < entryCount; ++done) {
    if (TakeCancel()) {
      Finish(&state, ResultCode::Cancelled);
      return;
    }
    EntryHeader entry;
    // Checks the header and name against the record too, before the caption shows the name.
    outcome = ReadEntryHeader(&state.archive, &entry, g_extractStatus.EntryName);
    if (outcome != ReaderOutcome::Ok) {
      FailRead(&state, outcome);
      return;
    }
    RequestCaption();
    if (!ExtractEntry(&state, entry)) return;
    // No cancel check between the one above and this one: an entry once begun
    // is finished (or fails) before an Abort takes effect.
    if (TakeCancel()) {
      Finish(&state, ResultCode::Cancelled);
      return;
    }
    ReportPercent(MulDiv(static_cast<int>(done + 1), 100, static_cast<int>(entryCount)));
  }
  // With a record, the entries must have ended exactly where it begins.
  outcome = FinishArchive(&state.archive);
  if (outcome != ReaderOutcome::Ok) {
    FailRead(&state, outcome);
    return;
  }
  Finish(&state, ResultCode::Done);
}
