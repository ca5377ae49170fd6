// Text conversions and ASCII-folding comparisons shared by every subsystem.
#include "util/Text.h"

#include "platform/Guid.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[pos]; advances pos. Overlong forms,
// surrogates and values past U+10FFFF decode to U+FFFD, one unit per bad byte.
char32_t decodeUtf8(const std::string& text, size_t end, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos++);
  if (lead < 0x80)
    return lead;
  int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4)
    return kReplacement;
  char32_t value = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    // A truncated sequence is one replacement; decoding resumes at the byte
    // that broke it.
    if (pos >= end || (byte(pos) & 0xC0) != 0x80)
      return kReplacement;
    value = (value << 6) | (byte(pos++) & 0x3F);
  }
  bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
  if (overlong || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return kReplacement;
  return value;
}

void appendUtf16(std::u16string& out, char32_t value) {
  if (value < 0x10000) {
    out.push_back(static_cast<char16_t>(value));
    return;
  }
  value -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
}

void appendUtf8(std::string& out, char32_t value) {
  if (value < 0x80) {
    out.push_back(static_cast<char>(value));
  } else if (value < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (value >> 6)));
    out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
  } else if (value < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (value >> 12)));
    out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (value >> 18)));
    out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
  }
}

char16_t upperAscii(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
}

std::u16string upperCopy(const std::u16string& text) {
  std::u16string copy = text;
  toUpperAscii(copy);
  return copy;
}

} // namespace

bool utf8ToWide(const std::string& text, std::u16string& out) {
  size_t end = text.find('\0');
  if (end == std::string::npos)
    end = text.size();
  if (end == 0) {
    out.clear();
    return true;
  }
  std::u16string result;
  result.reserve(end);
  for (size_t pos = 0; pos < end;)
    appendUtf16(result, decodeUtf8(text, end, pos));
  out = std::move(result);
  return true;
}

bool wideToUtf8(const std::u16string& text, std::string& out) {
  size_t end = text.find(u'\0');
  if (end == std::u16string::npos)
    end = text.size();
  std::string result;
  result.reserve(end);
  for (size_t pos = 0; pos < end; ++pos) {
    char32_t unit = text[pos];
    if (unit >= 0xD800 && unit <= 0xDBFF && pos + 1 < end &&
        text[pos + 1] >= 0xDC00 && text[pos + 1] <= 0xDFFF) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (text[pos + 1] - 0xDC00);
      ++pos;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      unit = kReplacement;
    }
    appendUtf8(result, unit);
  }
  out = std::move(result);
  return true;
}

void toUpperAscii(std::u16string& text) {
  for (char16_t& unit : text)
    unit = upperAscii(unit);
}

bool endsWithNoCase(const std::u16string& text, const std::u16string& suffix) {
  if (text.size() < suffix.size())
    return false;
  // Compared in place: every file a walk meets is matched against each
  // extension, and a copy of its path per extension costs more than the
  // comparison.
  const std::size_t start = text.size() - suffix.size();
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (upperAscii(text[start + i]) != upperAscii(suffix[i]))
      return false;
  }
  return true;
}

bool containsNoCase(const std::u16string& text, const std::u16string& part) {
  return upperCopy(text).find(upperCopy(part)) != std::u16string::npos;
}

bool newGuidString(std::u16string& out) {
  platform::Guid guid;
  if (!platform::coCreateGuid(guid))
    return false;
  std::u16string text;
  if (!platform::stringFromGuid2(guid, text, 260))
    return false;
  out = text;
  return true;
}

std::u16string escapeBackslashes(const std::u16string& text) {
  std::u16string result;
  result.reserve(text.size());
  for (char16_t unit : text) {
    result.push_back(unit);
    if (unit == u'\\')
      result.push_back(u'\\');
  }
  return result;
}
