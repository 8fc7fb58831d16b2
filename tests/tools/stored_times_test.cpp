// The times create stores: --mtime text is read exactly or refused,
// SOURCE_DATE_EPOCH clamps only later times and makes the creation time the
// last-write time, and malformed values are refused rather than ignored.
#include "tools/cli/stored_times.h"

#include <gtest/gtest.h>

#include "tools/cli/cli_support.h"
#include "tools/cli/file_time.h"

namespace {

FileTime Unix(int64_t seconds) { return FileTimeFromUnix(seconds, 0); }
uint64_t Value(FileTime t) { return FileTimeValue(t); }

}  // namespace

TEST(ParseTimeText, AcceptsEpochSecondsAndUtcDates) {
  FileTime t{};
  ASSERT_TRUE(ParseTimeText("@0", &t));
  EXPECT_EQ(Value(t), Value(Unix(0)));
  ASSERT_TRUE(ParseTimeText("@981173106", &t));
  EXPECT_EQ(FormatFileTime(t), "2001-02-03 04:05:06");
  ASSERT_TRUE(ParseTimeText("2001-02-03 04:05:06", &t));
  EXPECT_EQ(Value(t), Value(Unix(981173106)));
  ASSERT_TRUE(ParseTimeText("2001-02-03T04:05:06Z", &t));
  EXPECT_EQ(Value(t), Value(Unix(981173106)));
  ASSERT_TRUE(ParseTimeText("2001-02-03 04:05", &t));
  EXPECT_EQ(Value(t), Value(Unix(981173100)));
  ASSERT_TRUE(ParseTimeText("2000-02-29", &t));
  EXPECT_EQ(FormatFileTime(t), "2000-02-29 00:00:00");
  ASSERT_TRUE(ParseTimeText("1601-01-01", &t));
  EXPECT_EQ(Value(t), 0u);
  ASSERT_TRUE(ParseTimeText("@-86400", &t));
  EXPECT_EQ(FormatFileTime(t), "1969-12-31 00:00:00");
}

TEST(ParseTimeText, RefusesWhatIsNotExactlyATime) {
  FileTime t{};
  for (const char* text : {"", "@", "@12x", "yesterday", "2001-2-3", "2001-02-30", "1900-02-29", "2001-13-01",
                           "2001-02-03 24:00", "2001-02-03 04:60", "2001-02-03 04:05:60", "2001-02-03 04",
                           "2001-02-03 04:05:06 ", "1600-12-31", "@-11644473601"})
    EXPECT_FALSE(ParseTimeText(text, &t)) << text;
}

TEST(TimePolicy, MalformedValuesAreRefused) {
  EXPECT_THROW(MakeTimePolicy("soon", nullptr), UsageFailure);
  EXPECT_THROW(MakeTimePolicy("", "12abc"), UsageFailure);
  EXPECT_THROW(MakeTimePolicy("", "-5"), UsageFailure);
  TimePolicy none = MakeTimePolicy("", "");
  EXPECT_FALSE(none.fixed || none.clamp);
}

TEST(TimePolicy, SourceDateEpochClampsLaterTimesOnly) {
  TimePolicy policy = MakeTimePolicy("", "1000000000");
  FileTime creation = Unix(900000000), lastWrite = Unix(1100000000);
  ApplyTimePolicy(policy, &creation, &lastWrite);
  // The creation time follows the last-write time, then both are clamped.
  EXPECT_EQ(Value(lastWrite), Value(Unix(1000000000)));
  EXPECT_EQ(Value(creation), Value(Unix(1000000000)));

  creation = Unix(1200000000);
  lastWrite = Unix(800000000);
  ApplyTimePolicy(policy, &creation, &lastWrite);
  EXPECT_EQ(Value(lastWrite), Value(Unix(800000000)));
  EXPECT_EQ(Value(creation), Value(Unix(800000000)));
}

TEST(TimePolicy, MtimeSetsBothAndIsStillClamped) {
  FileTime creation = Unix(5), lastWrite = Unix(6);
  ApplyTimePolicy(MakeTimePolicy("@700", nullptr), &creation, &lastWrite);
  EXPECT_EQ(Value(creation), Value(Unix(700)));
  EXPECT_EQ(Value(lastWrite), Value(Unix(700)));
  ApplyTimePolicy(MakeTimePolicy("@700", "600"), &creation, &lastWrite);
  EXPECT_EQ(Value(creation), Value(Unix(600)));
  EXPECT_EQ(Value(lastWrite), Value(Unix(600)));
}

TEST(TimePolicy, WithoutEitherTheFileTimesStay) {
  FileTime creation = Unix(5), lastWrite = Unix(6);
  ApplyTimePolicy(MakeTimePolicy("", nullptr), &creation, &lastWrite);
  EXPECT_EQ(Value(creation), Value(Unix(5)));
  EXPECT_EQ(Value(lastWrite), Value(Unix(6)));
}
