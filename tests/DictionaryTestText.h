// Builds dictionary texts for tests: UTF-16 in either byte order with its
// byte-order mark, or 8-bit text, as the bytes a resource would hold.
#pragma once

#include "platform/AnsiText.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testtext {

// True where the ANSI code page is UTF-8, as on Linux: only there are the
// tests' 8-bit texts beyond ASCII read as UTF-8. (Windows reads them in its
// ANSI code page, which tests/windows checks.)
inline bool ansiCodePageIsUtf8() {
  std::u16string wide;
  return platform::ansiToWide("\xC3\xA9", wide) && wide == u"\u00E9";
}
constexpr const char* kAnsiNotUtf8 =
    "8-bit text is read in the ANSI code page, which is not UTF-8 on this host";

using Bytes = std::vector<std::uint8_t>;

inline Bytes utf16le(std::u16string_view text, bool mark = true) {
  Bytes bytes;
  if (mark)
    bytes = {0xFF, 0xFE};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

inline Bytes utf16be(std::u16string_view text) {
  Bytes bytes = {0xFE, 0xFF};
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  }
  return bytes;
}

inline Bytes narrow(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

} // namespace testtext
