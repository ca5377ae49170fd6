// The configuration's date format: fields, separators, ranges and the
// calendar check, with the target left alone on every failure.
#include "config/ConfigDate.h"

#include "util/Calendar.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

FileTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
            int millisecond = 0) {
  CalendarTime calendar;
  calendar.year = static_cast<std::uint16_t>(year);
  calendar.month = static_cast<std::uint16_t>(month);
  calendar.day = static_cast<std::uint16_t>(day);
  calendar.hour = static_cast<std::uint16_t>(hour);
  calendar.minute = static_cast<std::uint16_t>(minute);
  calendar.second = static_cast<std::uint16_t>(second);
  calendar.millisecond = static_cast<std::uint16_t>(millisecond);
  FileTime time;
  EXPECT_TRUE(calendarToFileTime(calendar, time));
  return time;
}

// The result of parsing text into a target that starts at a marker value.
std::optional<FileTime> parsed(const std::u16string& text) {
  const FileTime marker = FileTime::fromTicks(0x123456789ULL);
  FileTime target = marker;
  bool ok = parseConfigDate(text, target);
  if (!ok) {
    EXPECT_EQ(target, marker) << "a failed parse changed the target";
    return std::nullopt;
  }
  return target;
}

} // namespace

TEST(ConfigDate, DatesAndTimesInUtc) {
  EXPECT_EQ(parsed(u"2011-03-15"), at(2011, 3, 15));
  EXPECT_EQ(parsed(u"2011-3-1"), at(2011, 3, 1));
  EXPECT_EQ(parsed(u"2011-03-15 13:45:00.000"), at(2011, 3, 15, 13, 45));
  EXPECT_EQ(parsed(u"2024-02-29 23:59:59.999"), at(2024, 2, 29, 23, 59, 59, 999));
  EXPECT_EQ(parsed(u"1601-01-01"), FileTime::fromTicks(0));
  EXPECT_EQ(parsed(u"1970-01-01"), FileTime::fromTicks(kFileTimeUnixEpoch));
  // Fields are read like wcstol: white space first, a sign, then digits.
  EXPECT_EQ(parsed(u" 2011- 03-+15"), at(2011, 3, 15));
  EXPECT_EQ(parsed(u"2011-03-15T10"), at(2011, 3, 15)); // no space: no time
  EXPECT_EQ(parsed(u"2011-03-15 1:2:3.4"), at(2011, 3, 15, 1, 2, 3, 4));
}

TEST(ConfigDate, MissingSeparatorsFail) {
  EXPECT_FALSE(parsed(u""));
  EXPECT_FALSE(parsed(u"15.03.2011"));
  EXPECT_FALSE(parsed(u"2011-03"));
  EXPECT_FALSE(parsed(u"2011-03-15 13:45:00"));    // no "."
  EXPECT_FALSE(parsed(u"2011-03-15 13-45-00.000"));
  EXPECT_FALSE(parsed(u"2011-03-15 13:45.000"));
}

TEST(ConfigDate, FieldsOutOfRangeFail) {
  EXPECT_FALSE(parsed(u"1600-12-31"));
  EXPECT_FALSE(parsed(u"30828-01-01"));
  EXPECT_TRUE(parsed(u"30827-12-31"));
  EXPECT_FALSE(parsed(u"2011-00-10"));
  EXPECT_FALSE(parsed(u"2011-13-10"));
  EXPECT_FALSE(parsed(u"2011-03-00"));
  EXPECT_FALSE(parsed(u"2011-03-32"));
  EXPECT_FALSE(parsed(u"2011-03-15 24:00:00.000"));
  EXPECT_FALSE(parsed(u"2011-03-15 23:60:00.000"));
  EXPECT_FALSE(parsed(u"2011-03-15 23:59:60.000"));
  EXPECT_FALSE(parsed(u"2011-03-15 23:59:59.1000"));
  EXPECT_FALSE(parsed(u"x-03-15"));                 // no number: 0
}

TEST(ConfigDate, FieldsAreSixteenBitUnsigned) {
  // 67547 is 2011 + 65536: the stored field wraps to 2011.
  EXPECT_EQ(parsed(u"67547-03-15"), at(2011, 3, 15));
  EXPECT_EQ(parsed(u"2011-65539-15"), at(2011, 3, 15));
  // A negative number wraps high and fails every range check.
  EXPECT_FALSE(parsed(u"2011-03-15 -1:00:00.000"));
  EXPECT_FALSE(parsed(u"2011-03-15 00:00:00.-5"));
  EXPECT_FALSE(parsed(u"99999999999999999999-03-15"));
}

TEST(ConfigDate, DaysTheMonthLacksLeaveTheTargetUnchanged) {
  EXPECT_FALSE(parsed(u"2011-02-31"));
  EXPECT_FALSE(parsed(u"2011-04-31"));
  EXPECT_FALSE(parsed(u"2023-02-29"));
  EXPECT_FALSE(parsed(u"1900-02-29"));
  EXPECT_TRUE(parsed(u"2000-02-29"));
}
