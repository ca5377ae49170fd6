// Line syntax of dictionary texts and lookup strings.
#include "l10n/EntrySyntax.h"

namespace dravik_private {

namespace {

// Position of the first double quote at or after from that does not
// directly follow a backslash; npos when there is none.
std::size_t findUnescapedQuote(std::u16string_view line, std::size_t from) {
  for (std::size_t pos = from; pos < line.size(); ++pos) {
    if (line[pos] == u'"' && (pos == 0 || line[pos - 1] != u'\\'))
      return pos;
  }
  return std::u16string_view::npos;
}

template <typename Char>
std::optional<KeyAndValue<Char>> split(std::basic_string_view<Char> text) {
  if (!text.empty() && text[0] == Char('$')) {
    if (text.size() < 3 || text[1] != Char('$') || text[2] != Char('$'))
      return std::nullopt;
    text.remove_prefix(3);
  }
  const std::size_t equals = text.find(Char('='));
  if (equals == std::basic_string_view<Char>::npos)
    return KeyAndValue<Char>{text, {}};
  return KeyAndValue<Char>{text.substr(0, equals), text.substr(equals + 1)};
}

// The character a caret escape stands for, or 0 when the caret table has
// none for c.
char16_t caretEscape(char16_t c) {
  switch (c) {
  case u'Q': return u'"';
  case u'[': return u'\u201C';
  case u']': return u'\u201D';
  case u'{': return u'\u2018';
  case u'}': return u'\u2019';
  case u'C': return u'\u00A9';
  case u'R': return u'\u00AE';
  case u'T': return u'\u2122';
  case u'D': return u'\u00B0';
  case u'B': return u'\u2022';
  case u'#': return u'\u2318';
  case u'!': return u'\u00AC';
  case u'I': return u'\u2206';
  case u'S': return u'\u2211';
  case u'n': return u'\n';
  case u'r': return u'\r';
  default: return 0;
  }
}

// The character a backslash escape stands for, or 0 when there is none.
char16_t backslashEscape(char16_t c) {
  switch (c) {
  case u'"': return u'"';
  case u'n': return u'\n';
  case u'r': return u'\r';
  case u't': return u'\t';
  case u'b': return u'\b';
  default: return 0;
  }
}

} // namespace

std::u16string_view entryText(std::u16string_view line) {
  const std::size_t open = findUnescapedQuote(line, 0);
  if (open == std::u16string_view::npos)
    return line;
  const std::size_t close = findUnescapedQuote(line, open + 1);
  const std::size_t end = close == std::u16string_view::npos ? line.size() : close;
  return line.substr(open + 1, end - open - 1);
}

std::optional<KeyAndValue<char16_t>> splitEntry(std::u16string_view text) {
  return split(text);
}

std::optional<KeyAndValue<char>> splitEntry(std::string_view text) {
  return split(text);
}

std::u16string unescapeValue(std::u16string_view value) {
  std::u16string result;
  result.reserve(value.size());
  std::size_t pos = 0;
  while (pos < value.size()) {
    const char16_t c = value[pos];
    if ((c != u'^' && c != u'\\') || pos + 1 == value.size()) {
      result.push_back(c);
      ++pos;
      continue;
    }
    const char16_t next = value[pos + 1];
    const char16_t mapped = c == u'^' ? caretEscape(next) : backslashEscape(next);
    if (next == c) {
      result.push_back(c);
    } else if (mapped != 0) {
      result.push_back(mapped);
    } else {
      result.push_back(c);
      result.push_back(next);
    }
    pos += 2;
  }
  return result;
}

} // namespace dravik_private
