// Plays the progress dialog's side of the status exchange: the first-tick
// reset, the worker's start, then, each time the worker signals, serving
// Result, the percent, the caption and an alert in that order.
// Overwrite questions get scripted answers, and a script may press Abort at
// chosen moments.  Every request served is recorded, together with what the
// run left behind: handles and process-heap blocks, and whether the worker
// thread ever acquired a message queue.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "extract/extract_status.h"
#include "worker_calls.h"

struct ServedRequest {
  enum Kind { Percent, Caption, Alert } kind;
  int32_t value;     // the percent, or the alert code; 0 for a caption
  std::string text;  // EntryName for a caption, OverwritePath for alert 9
  bool operator==(const ServedRequest& other) const {
    return kind == other.kind && value == other.value && text == other.text;
  }
};

ServedRequest PercentRequest(int32_t percent);
ServedRequest CaptionRequest(const std::string& entryName);
ServedRequest AlertRequest(AlertCode code, const std::string& overwritePath = "");
std::string Describe(const ServedRequest& request);
inline void PrintTo(const ServedRequest& request, std::ostream* out) { *out << Describe(request); }
inline void PrintTo(ResultCode code, std::ostream* out) { *out << "ResultCode " << static_cast<int>(code); }

struct DialogScript {
  bool abortBeforeStart = false;
  // Answers to the overwrite questions, in order; once used up, Overwrite.
  std::vector<int32_t> answers;
  // Called for every request just before it is acknowledged (the n-th served
  // request, counted from 0); it may press Abort.
  std::function<void(const ServedRequest& request, size_t index)> beforeAcknowledge;
};

struct RunOutcome {
  ResultCode result = ResultCode::Running;
  std::vector<ServedRequest> served;
  bool finished = false;           // Result became non-zero in time
  long handleDelta = 0;            // process handles after the run minus before
  long heapBlockDelta = 0;         // process-heap blocks of ours left after minus before
  bool workerHadMessageQueue = false;
  bool cancelStillRequested = false;  // CancelRequested after the run
  // Some request was found raised together with another one, or with Result.
  bool requestsOverlapped = false;
};

void PressAbort();
// Runs ExtractWorker once from start to its thread's end; `calls` scripts
// faults and Abort presses at the worker's system calls.
RunOutcome RunExtraction(const DialogScript& script, const CallScript& calls = CallScript());

// The measures used above, exposed so a test can show they see a leak.
long CountProcessHandles();
long CountBusyHeapBlocks();
bool ThreadHasMessageQueue(unsigned long threadId);
