// Quoting of CSV fields and records.
#include "util/Csv.h"

#include "util/Text.h"

#include <algorithm>

namespace {

// The text as well-formed UTF-8 (it ends at a zero byte, as the
// converters' input does).
std::string wellFormed(std::string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x80; }))
    return std::string(text);
  std::u16string units;
  std::string clean;
  if (utf8ToWide(std::string(text), units))
    wideToUtf8(units, clean);
  return clean;
}

} // namespace

std::string csvField(std::string_view raw) {
  const std::string text = wellFormed(raw);
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '"';
  for (char c : text) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string csvRecord(const std::vector<std::string>& fields) {
  std::string record;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0)
      record += ',';
    record += csvField(fields[i]);
  }
  record += "\r\n";
  return record;
}
