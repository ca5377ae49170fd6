// JSON string escaping.
#include "util/Json.h"

#include "util/Text.h"

#include <cstdio>

std::string jsonString(const std::string& utf8) {
  // JSON text is UTF-8: ill-formed sequences become U+FFFD.
  std::u16string units;
  std::string clean;
  if (!utf8.empty() && utf8ToWide(utf8, units))
    wideToUtf8(units, clean);
  std::string out = "\"";
  for (unsigned char c : clean) {
    switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
      if (c < 0x20) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", c);
        out += escape;
      } else {
        out.push_back(char(c));
      }
    }
  }
  return out + "\"";
}

std::string jsonString(const std::u16string& text) {
  std::string utf8;
  wideToUtf8(text, utf8);
  return jsonString(utf8);
}
