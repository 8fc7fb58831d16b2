// The stub's exit codes.  They are Windows' own error numbers, so that
// `net helpmsg N` explains each and deployment tools read them without a
// table of ours; each outcome has its own.  A follow-up program that was
// started and waited for passes its own exit code on instead.
#pragma once

#include <cstdint>

#include "extract/extract_status.h"

constexpr uint32_t kExitSuccess = 0;
// ERROR_INSTALL_USEREXIT: the user closed the destination dialog, pressed
// Abort, or answered Abort to the overwrite question.
constexpr uint32_t kExitUserStopped = 1602;
// ERROR_INVALID_PARAMETER: an unknown switch or a malformed value.
constexpr uint32_t kExitBadCommandLine = 87;
// ERROR_FILENAME_EXCED_RANGE: a /D or /L value over the path limit.
constexpr uint32_t kExitPathTooLong = 206;
// ERROR_INSTALL_LOG_FAILURE: the /L file cannot be opened for appending.
constexpr uint32_t kExitLogFailure = 1622;
// ERROR_INVALID_DATA: automatic mode found a required size of 0, which only
// a damaged header has.
constexpr uint32_t kExitDamagedHeader = 13;
// ERROR_PATH_NOT_FOUND: automatic mode found no folder to extract to.
constexpr uint32_t kExitNoDestination = 3;
// ERROR_NO_SYSTEM_RESOURCES: the extraction could not be started (no worker
// thread, no progress dialog).
constexpr uint32_t kExitCannotRun = 1450;
// ERROR_OPEN_FAILED: the program's own file or its locator cannot be opened.
constexpr uint32_t kExitCannotStart = 110;
// ERROR_CANNOT_MAKE: a folder or an output file cannot be created.
constexpr uint32_t kExitCannotCreate = 82;
// ERROR_READ_FAULT: reading the archive failed, or a block did not decode.
constexpr uint32_t kExitReadFailure = 30;
// ERROR_WRITE_FAULT: writing an output file failed.
constexpr uint32_t kExitWriteFailure = 29;
// ERROR_DISK_FULL: writing an output file failed for want of room.
constexpr uint32_t kExitDiskFull = 112;
// ERROR_FILE_CORRUPT: the archive failed a structure or checksum test.
constexpr uint32_t kExitCorrupt = 1392;
// ERROR_NOT_ENOUGH_MEMORY: an entry's buffer could not be allocated.
constexpr uint32_t kExitOutOfMemory = 8;

// The exit code of an extraction that ended with `result`.  `abortAnswered`:
// the user answered Abort to the overwrite question (the run then ends with
// FailedCreate); `writeError`: the system's error of a failed write.
uint32_t ExitCodeForRun(ResultCode result, bool abortAnswered, uint32_t writeError);
