// FILETIME and calendar dates, both ways.
#include "util/Calendar.h"

#include <gtest/gtest.h>

TEST(Calendar, KnownInstants) {
  FileTime time;
  CalendarTime epoch;
  epoch.year = 1970;
  ASSERT_TRUE(calendarToFileTime(epoch, time));
  EXPECT_EQ(time.ticks(), kFileTimeUnixEpoch);
  CalendarTime back = fileTimeToCalendar(FileTime::fromTicks(kFileTimeUnixEpoch + 10000 * 1234));
  EXPECT_EQ(back.year, 1970);
  EXPECT_EQ(back.second, 1);
  EXPECT_EQ(back.millisecond, 234);
}

TEST(Calendar, RoundTripsAcrossLeapRules) {
  for (int year : {1601, 1700, 1900, 2000, 2024, 2100, 30827}) {
    for (int month = 1; month <= 12; ++month) {
      CalendarTime calendar;
      calendar.year = static_cast<std::uint16_t>(year);
      calendar.month = static_cast<std::uint16_t>(month);
      calendar.day = static_cast<std::uint16_t>(month == 2 ? 28 : 30);
      calendar.hour = 23;
      calendar.minute = 59;
      calendar.second = 58;
      calendar.millisecond = 999;
      FileTime time;
      ASSERT_TRUE(calendarToFileTime(calendar, time)) << year << "-" << month;
      CalendarTime back = fileTimeToCalendar(time);
      EXPECT_EQ(back.year, calendar.year);
      EXPECT_EQ(back.month, calendar.month);
      EXPECT_EQ(back.day, calendar.day);
      EXPECT_EQ(back.hour, 23);
      EXPECT_EQ(back.millisecond, 999);
    }
  }
  CalendarTime leapDay;
  leapDay.year = 1900;
  leapDay.month = 2;
  leapDay.day = 29;
  FileTime untouched = FileTime::fromTicks(42);
  EXPECT_FALSE(calendarToFileTime(leapDay, untouched));
  EXPECT_EQ(untouched.ticks(), 42u);
  leapDay.year = 2000;
  EXPECT_TRUE(calendarToFileTime(leapDay, untouched));
}
