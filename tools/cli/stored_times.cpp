#include "tools/cli/stored_times.h"

#include <cstdint>

#include "tools/cli/cli_support.h"
#include "tools/cli/file_time.h"

namespace {

// Reads exactly `digits` decimal digits at text[*at].
bool Number(const std::string& text, size_t* at, size_t digits, int64_t* value) {
  if (*at + digits > text.size()) return false;
  *value = 0;
  for (size_t i = 0; i < digits; ++i) {
    char c = text[*at + i];
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + (c - '0');
  }
  *at += digits;
  return true;
}

bool Expect(const std::string& text, size_t* at, const char* choices) {
  if (*at >= text.size()) return false;
  for (const char* c = choices; *c != '\0'; ++c) {
    if (text[*at] == *c) {
      ++*at;
      return true;
    }
  }
  return false;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int64_t year, int64_t month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool SecondsFromDate(const std::string& text, int64_t* seconds) {
  size_t at = 0;
  int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!Number(text, &at, 4, &year) || !Expect(text, &at, "-") || !Number(text, &at, 2, &month) ||
      !Expect(text, &at, "-") || !Number(text, &at, 2, &day))
    return false;
  if (at < text.size() && text[at] != 'Z') {
    if (!Expect(text, &at, " T") || !Number(text, &at, 2, &hour) || !Expect(text, &at, ":") ||
        !Number(text, &at, 2, &minute))
      return false;
    if (at < text.size() && text[at] == ':' && (++at, !Number(text, &at, 2, &second))) return false;
  }
  if (at < text.size() && text[at] == 'Z') ++at;
  if (at != text.size() || year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59)
    return false;
  *seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

bool SecondsFromEpochText(const std::string& digits, int64_t* seconds) {
  size_t at = 0;
  bool negative = !digits.empty() && digits[0] == '-';
  if (negative) at = 1;
  if (at >= digits.size() || digits.size() - at > 12) return false;
  int64_t value = 0;
  if (!Number(digits, &at, digits.size() - at, &value)) return false;
  *seconds = negative ? -value : value;
  return true;
}

// The FILETIME range this accepts: 1601-01-01 up to the year 30827, where
// Windows stops.
constexpr int64_t kEarliestSeconds = -11644473600;
constexpr int64_t kLatestSeconds = 910692730085;

bool ToFileTime(int64_t seconds, FileTime* time) {
  if (seconds < kEarliestSeconds || seconds > kLatestSeconds) return false;
  *time = FileTimeFromUnix(seconds, 0);
  return true;
}

}  // namespace

bool ParseTimeText(const std::string& text, FileTime* time) {
  int64_t seconds = 0;
  bool parsed = !text.empty() && text[0] == '@' ? SecondsFromEpochText(text.substr(1), &seconds)
                                                : SecondsFromDate(text, &seconds);
  return parsed && ToFileTime(seconds, time);
}

TimePolicy MakeTimePolicy(const std::string& mtimeOption, const char* sourceDateEpoch) {
  TimePolicy policy;
  if (!mtimeOption.empty()) {
    if (!ParseTimeText(mtimeOption, &policy.fixedTime))
      throw UsageFailure("--mtime takes @SECONDS or YYYY-MM-DD[ hh:mm[:ss]] (UTC), not '" + mtimeOption + "'");
    policy.fixed = true;
  }
  if (sourceDateEpoch != nullptr && *sourceDateEpoch != '\0') {
    int64_t seconds = 0;
    std::string text = sourceDateEpoch;
    if (text[0] == '-' || !SecondsFromEpochText(text, &seconds) || !ToFileTime(seconds, &policy.clampTime))
      throw UsageFailure("SOURCE_DATE_EPOCH must be a number of seconds since 1970-01-01 UTC, not '" + text + "'");
    policy.clamp = true;
  }
  return policy;
}

void ApplyTimePolicy(const TimePolicy& policy, FileTime* creation, FileTime* lastWrite) {
  if (policy.fixed) {
    *creation = *lastWrite = policy.fixedTime;
  } else if (policy.clamp) {
    *creation = *lastWrite;
  }
  if (policy.clamp) {
    if (FileTimeValue(*lastWrite) > FileTimeValue(policy.clampTime)) *lastWrite = policy.clampTime;
    if (FileTimeValue(*creation) > FileTimeValue(policy.clampTime)) *creation = policy.clampTime;
  }
}
