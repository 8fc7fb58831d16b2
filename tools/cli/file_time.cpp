#include "tools/cli/file_time.h"

#include <cstdio>

FileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
  int64_t units = seconds * 10000000 + nanoseconds / 100 + kUnixEpochInFileTime;
  return MakeFileTime(units < 0 ? 0 : static_cast<uint64_t>(units));
}

std::string FormatFileTime(FileTime t) {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  UnixFromFileTime(t, &seconds, &nanoseconds);
  // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
  int64_t days = seconds / 86400;
  int64_t secondOfDay = seconds % 86400;
  if (secondOfDay < 0) {
    secondOfDay += 86400;
    --days;
  }
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t dayOfEra = z - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day),
                static_cast<long long>(secondOfDay / 3600), static_cast<long long>(secondOfDay / 60 % 60),
                static_cast<long long>(secondOfDay % 60));
  return text;
}
