#include "app/exit_codes.h"

namespace {

constexpr uint32_t kErrorHandleDiskFull = 39;  // ERROR_HANDLE_DISK_FULL
constexpr uint32_t kErrorDiskFull = 112;       // ERROR_DISK_FULL

}  // namespace

uint32_t ExitCodeForRun(ResultCode result, bool abortAnswered, uint32_t writeError) {
  switch (result) {
    case ResultCode::Done:
      return kExitSuccess;
    case ResultCode::Cancelled:
      return kExitUserStopped;
    case ResultCode::FailedStart:
      return kExitCannotStart;
    case ResultCode::FailedCreate:
      return abortAnswered ? kExitUserStopped : kExitCannotCreate;
    case ResultCode::FailedRead:
      return kExitReadFailure;
    case ResultCode::FailedWrite:
      return writeError == kErrorDiskFull || writeError == kErrorHandleDiskFull ? kExitDiskFull
                                                                                : kExitWriteFailure;
    case ResultCode::FailedCorrupt:
      return kExitCorrupt;
    case ResultCode::FailedMemory:
      return kExitOutOfMemory;
    default:  // Running: the worker never ran, or the dialog never came up
      return kExitCannotRun;
  }
}
