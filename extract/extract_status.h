// The one record through which the extraction worker and the progress dialog
// talk.  No lock exists: every exchange is a handshake on an atomic 32-bit
// flag.  The worker writes a payload, raises a flag with a release store and
// waits (acquire loads) until the dialog thread has taken the request and
// cleared it: a caption or percent once its value has been copied, an alert
// once its message or question has been answered.  The dialog thread reads
// flags with acquire loads before the payload and clears them with a release
// store after writing any answer.  Result is the worker's last store and
// nobody acknowledges it.
//
// Neither side polls: two auto-reset events carry the wake-ups beside the
// flags.  The worker signals "raised" after raising a request or publishing
// Result and then sleeps on "cleared"; the dialog thread signals "cleared"
// after clearing a request.  The flags stay the truth: a signal that nobody
// waited for only costs the other side one more look at them.
#pragma once

#include <atomic>
#include <cstdint>

#include "archive/archive_format.h"

enum class ResultCode : int32_t {
  Running = 0,
  Done = 1,
  Cancelled = 2,
  FailedStart = 3,
  FailedCreate = 4,
  FailedRead = 5,
  FailedWrite = 6,
  FailedCorrupt = 7,
  FailedMemory = 8,
};

enum class AlertCode : int32_t {
  None = 0,
  CannotStart = 1,
  CannotCreateFile = 2,
  ReadFailure = 3,
  WriteFailure = 4,
  CorruptArchive = 5,
  OutOfMemory = 6,
  CannotCreateFolder = 7,
  FileBlocksFolder = 8,
  AskOverwrite = 9,
};

// The values are the overwrite dialog's button ids.
enum OverwriteAnswer : int32_t {
  Overwrite = 1,
  Abort = 1008,
  OverwriteAll = 1010,
};

constexpr uint32_t kPathBufferSize = 260;

struct ExtractStatus {
  std::atomic<int32_t> Result;            // ResultCode
  std::atomic<int32_t> Alert;             // AlertCode
  int32_t Answer;                         // OverwriteAnswer, written before Alert 9 is cleared
  int32_t Percent;                        // 0..100, written before PercentChanged is raised
  std::atomic<int32_t> PercentChanged;
  std::atomic<int32_t> CaptionRequested;
  std::atomic<int32_t> CancelRequested;
  char EntryName[kNameBufferSize];
  char OverwritePath[kPathBufferSize];
  char FollowUpName[kFollowUpBufferSize];
  char FollowUpArgs[kFollowUpBufferSize];
  // What a failed Result alone does not tell, for the exit code: the user
  // answered Abort to the overwrite question (set before FailedCreate), and
  // the system's error of a failed write (a full disk).  Written by the
  // worker before Result.
  int32_t AbortAnswered;
  uint32_t WriteError;
};
static_assert(sizeof(std::atomic<int32_t>) == 4 && std::atomic<int32_t>::is_always_lock_free,
              "the exchange flags are plain lock-free 32-bit integers");

// The process-wide record, all zeros at program start, never reset.
extern ExtractStatus g_extractStatus;

// Settings the worker reads, written by the main thread before the progress
// dialog opens: the destination folder (ends in a backslash; 260 bytes of
// text at most, plus the terminator and room for one appended backslash) and
// the overwrite-without-asking latch, which the worker sets on OverwriteAll.
constexpr uint32_t kDestDirBufferSize = kPathBufferSize + 4;
extern char DestDir[kDestDirBufferSize];
extern int32_t SkipOverwritePrompt;

// How much of the stub the user sees, from its command line; set before
// anything else runs.  Silent: no window, so the worker runs on the main
// thread and its requests are answered at once (an overwrite question as
// Overwrite).  Passive: the progress dialog, but no question or message.
enum class UiLevel : int32_t {
  Full = 0,
  Passive = 1,
  Silent = 2,
};
extern UiLevel g_uiLevel;

// Dialog side.  BeginExchange is the first tick's reset (PercentChanged,
// Alert, Percent and Result to 0; CaptionRequested, CancelRequested and
// Answer stay) and makes the two events on its first call; false when they
// cannot be made, and then no worker may be started.
bool BeginExchange();
// The event to wait on for the worker's next request or its Result.
void* RequestRaisedEvent();
// Clears a served request and wakes the worker waiting for it.
void AcknowledgeRequest(std::atomic<int32_t>& flag);

// Worker side: each raises one request and sleeps until the dialog clears it.
void RequestCaption();
void ReportPercent(int32_t percent);
void RaiseAlert(AlertCode code);
bool TakeCancel();
void PublishResult(ResultCode code);
