// Calendar dates and FILETIME: the stand-ins for SystemTimeToFileTime and
// FileTimeToSystemTime (UTC, proleptic Gregorian calendar).
#pragma once

#include "util/FileTime.h"

#include <cstdint>

// SYSTEMTIME without the day of the week.
struct CalendarTime {
  std::uint16_t year = 1601;
  std::uint16_t month = 1;  // 1 to 12
  std::uint16_t day = 1;    // 1 to the month's length
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t millisecond = 0;
};

// The FILETIME of a calendar time. False, with result unchanged, when a
// field is out of range: the year outside 1601 to 30827, a month, hour,
// minute, second or millisecond out of range, or a day the month lacks.
bool calendarToFileTime(const CalendarTime& time, FileTime& result);

// The calendar time of a FILETIME (ticks below a millisecond are dropped).
CalendarTime fileTimeToCalendar(FileTime time);
