// The Authenticode fixtures: paths of the signed images, the test PKI and
// its trust stores, made by tests/fixtures/make-authenticode.sh.
#pragma once

#include "Fixtures.h"
#include "platform/WindowsNamespace.h"
#include "util/Calendar.h"

#include <string>

namespace fixtures {

inline std::string authenticode(const std::string& relative) {
  return folder("authenticode") + "/" + relative;
}

// The Windows path of a PE fixture (through drive Z: or the prefix).
inline std::u16string peImage(const std::string& name) {
  return platform::toWindowsPath(authenticode("pe/" + name));
}

// The thumbprint of a signer of the test PKI, as wide text.
inline std::u16string thumbprintOf(const std::string& signer) {
  std::string hex = readLine(authenticode("pki/" + signer + ".sha1"));
  return std::u16string(hex.begin(), hex.end());
}

inline FileTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
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
  calendarToFileTime(calendar, time);
  return time;
}

} // namespace fixtures
