// The class of a failed container check.  The four failure values equal the
// alert codes that report them, so the worker passes them on unchanged.
#pragma once

#include <cstdint>

enum class ReaderOutcome : int32_t {
  Ok = 0,              // not a failure: the step succeeded
  CannotStart = 1,     // locator resource missing, or the program's file cannot be opened
  ReadFailure = 3,     // a read call failed (the trailer read also when short)
  CorruptArchive = 5,  // a structural check failed
  OutOfMemory = 6,     // an entry's data buffer cannot be allocated
  Cancelled = 100,     // not a failure: the cancel test answered true
};
