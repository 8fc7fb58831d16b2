// FILETIME (100 ns since 1601-01-01 UTC) from and to Unix time, and as text.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_format.h"

constexpr int64_t kUnixEpochInFileTime = 116444736000000000;  // 1970-01-01 in 100 ns units

inline uint64_t FileTimeValue(FileTime t) { return uint64_t{t.high} << 32 | t.low; }
inline FileTime MakeFileTime(uint64_t v) {
  return FileTime{static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)};
}

// Times before 1601 are clamped to 1601.
FileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);
template <typename Seconds, typename Nanoseconds>
void UnixFromFileTime(FileTime t, Seconds* seconds, Nanoseconds* nanoseconds) {
  int64_t units = static_cast<int64_t>(FileTimeValue(t) & 0x7FFFFFFFFFFFFFFFull) - kUnixEpochInFileTime;
  int64_t s = units / 10000000;
  int64_t rest = units % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --s;
  }
  *seconds = static_cast<Seconds>(s);
  *nanoseconds = static_cast<Nanoseconds>(rest * 100);
}

// "YYYY-MM-DD hh:mm:ss" in UTC.
std::string FormatFileTime(FileTime t);
