// parseConfigDate: split at the separators, read the fields, convert.
#include "config/ConfigDate.h"

#include "util/Calendar.h"

#include <cstdint>
#include <limits>

namespace {

bool isSpace(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\v' || unit == u'\f' ||
         unit == u'\r';
}

// The leading decimal number of text as a 16-bit calendar field: white
// space skipped, an optional sign, as many digits as follow; 0 when there
// is no number. Values beyond the 32-bit range saturate, as the platform's
// conversion does, before they are cut to 16 bits.
std::uint16_t fieldOf(std::u16string_view text) {
  std::size_t at = 0;
  while (at < text.size() && isSpace(text[at]))
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
    negative = text[at] == u'-';
    ++at;
  }
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    value = value * 10 + (text[at] - u'0');
    if (value > std::numeric_limits<std::int32_t>::max())
      value = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
  }
  if (negative)
    value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    value = std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    value = std::numeric_limits<std::int32_t>::min();
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value));
}

} // namespace

bool parseConfigDate(const std::u16string& text, FileTime& target) {
  std::u16string_view rest = text;
  CalendarTime time;

  std::size_t separator = rest.find(u'-');
  if (separator == std::u16string_view::npos)
    return false;
  time.year = fieldOf(rest.substr(0, separator));
  rest = rest.substr(separator + 1);
  if (time.year < 1601 || time.year > 30827)
    return false;

  separator = rest.find(u'-');
  if (separator == std::u16string_view::npos)
    return false;
  time.month = fieldOf(rest.substr(0, separator));
  rest = rest.substr(separator + 1);
  if (time.month < 1 || time.month > 12)
    return false;

  const std::size_t space = rest.find(u' ');
  time.day = fieldOf(rest.substr(0, space));
  if (time.day < 1 || time.day > 31)
    return false;

  if (space != std::u16string_view::npos) {
    rest = rest.substr(space + 1);
    separator = rest.find(u':');
    if (separator == std::u16string_view::npos)
      return false;
    time.hour = fieldOf(rest.substr(0, separator));
    rest = rest.substr(separator + 1);
    if (time.hour >= 24)
      return false;

    separator = rest.find(u':');
    if (separator == std::u16string_view::npos)
      return false;
    time.minute = fieldOf(rest.substr(0, separator));
    rest = rest.substr(separator + 1);
    if (time.minute >= 60)
      return false;

    separator = rest.find(u'.');
    if (separator == std::u16string_view::npos)
      return false;
    time.second = fieldOf(rest.substr(0, separator));
    rest = rest.substr(separator + 1);
    if (time.second >= 60)
      return false;

    time.millisecond = fieldOf(rest);
    if (time.millisecond >= 1000)
      return false;
  }
  return calendarToFileTime(time, target);
}
