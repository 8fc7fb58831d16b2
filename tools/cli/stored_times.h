// Which times create stores for each file.
//   default             last-write time: the file's; creation time: its birth
//                       time where the file system keeps one, else the last-write time
//   SOURCE_DATE_EPOCH   creation time = last-write time (a birth time differs
//                       between two copies of a tree), and both are clamped:
//                       a time later than SOURCE_DATE_EPOCH becomes it
//   --mtime TIME        both times are TIME, for every file
#pragma once

#include <string>

#include "archive/archive_format.h"

struct TimePolicy {
  bool fixed = false;  // --mtime
  FileTime fixedTime{0, 0};
  bool clamp = false;  // SOURCE_DATE_EPOCH
  FileTime clampTime{0, 0};
};

// "@SECONDS" (since 1970-01-01 UTC) or "YYYY-MM-DD", "YYYY-MM-DD hh:mm" or
// "YYYY-MM-DD hh:mm:ss" in UTC ('T' may stand for the space, a final 'Z' is
// allowed).  False for anything else, or a time outside 1601..30827.
bool ParseTimeText(const std::string& text, FileTime* time);

// `mtimeOption` empty when --mtime is absent; `sourceDateEpoch` null when the
// variable is unset.  Throws UsageFailure naming what is malformed.
TimePolicy MakeTimePolicy(const std::string& mtimeOption, const char* sourceDateEpoch);

// Turns the times read from the file into the times to store.
void ApplyTimePolicy(const TimePolicy& policy, FileTime* creation, FileTime* lastWrite);
