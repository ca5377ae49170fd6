// Civil-date arithmetic on day counts since 1601-01-01.
#include "util/Calendar.h"

namespace {

constexpr std::uint64_t kTicksPerMillisecond = 10000;
constexpr std::uint64_t kTicksPerDay = 864000000000ULL;

bool isLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned daysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1601-01-01 to the date; 1601 starts a 400-year cycle.
std::uint64_t daysSince1601(unsigned year, unsigned month, unsigned day) {
  const std::uint64_t years = year - 1601;
  std::uint64_t days = years * 365 + years / 4 - years / 100 + years / 400;
  for (unsigned m = 1; m < month; ++m)
    days += daysInMonth(year, m);
  return days + day - 1;
}

} // namespace

bool calendarToFileTime(const CalendarTime& time, FileTime& result) {
  if (time.year < 1601 || time.year > 30827 || time.month < 1 || time.month > 12 ||
      time.day < 1 || time.day > daysInMonth(time.year, time.month) || time.hour > 23 ||
      time.minute > 59 || time.second > 59 || time.millisecond > 999)
    return false;
  const std::uint64_t milliseconds =
      ((static_cast<std::uint64_t>(time.hour) * 60 + time.minute) * 60 + time.second) * 1000 +
      time.millisecond;
  result = FileTime::fromTicks(daysSince1601(time.year, time.month, time.day) * kTicksPerDay +
                               milliseconds * kTicksPerMillisecond);
  return true;
}

CalendarTime fileTimeToCalendar(FileTime time) {
  CalendarTime calendar;
  std::uint64_t days = time.ticks() / kTicksPerDay;
  std::uint64_t milliseconds = (time.ticks() % kTicksPerDay) / kTicksPerMillisecond;
  // Whole 400-year cycles, then years one by one (at most 400 steps).
  unsigned year = 1601 + static_cast<unsigned>(days / 146097) * 400;
  days %= 146097;
  while (days >= (isLeapYear(year) ? 366u : 365u)) {
    days -= isLeapYear(year) ? 366 : 365;
    ++year;
  }
  unsigned month = 1;
  while (days >= daysInMonth(year, month)) {
    days -= daysInMonth(year, month);
    ++month;
  }
  calendar.year = static_cast<std::uint16_t>(year);
  calendar.month = static_cast<std::uint16_t>(month);
  calendar.day = static_cast<std::uint16_t>(days + 1);
  calendar.millisecond = static_cast<std::uint16_t>(milliseconds % 1000);
  milliseconds /= 1000;
  calendar.second = static_cast<std::uint16_t>(milliseconds % 60);
  milliseconds /= 60;
  calendar.minute = static_cast<std::uint16_t>(milliseconds % 60);
  calendar.hour = static_cast<std::uint16_t>(milliseconds / 60);
  return calendar;
}
