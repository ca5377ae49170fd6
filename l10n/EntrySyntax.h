// The syntax of a dictionary line and of a lookup string: the quoted entry
// text, the "$$$" key prefix, the split into key and value, and the escapes
// of a value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dravik_private {

// The entry text of a line. When the line holds a double quote that does
// not directly follow a backslash, the text after it up to the next such
// quote (or the end of the line); otherwise the whole line.
std::u16string_view entryText(std::u16string_view line);

// A text split into key and value.
template <typename Char>
struct KeyAndValue {
  std::basic_string_view<Char> key;   // without the "$$$" prefix
  std::basic_string_view<Char> value; // after the first "=", empty without one
};

// Splits an entry text (or a lookup string). A text beginning with "$" must
// begin with "$$$", which is dropped, else it is rejected (none). The key
// runs up to the first "=" and the value is everything after it; without
// "=" the whole text is the key and the value is empty.
std::optional<KeyAndValue<char16_t>> splitEntry(std::u16string_view text);
std::optional<KeyAndValue<char>> splitEntry(std::string_view text);

// Resolves the escapes of a value, left to right. A caret or a backslash
// followed by a character of its own table becomes that table's character;
// doubled, it becomes itself once; followed by any other character both
// characters stay; at the very end of the value it stays.
std::u16string unescapeValue(std::u16string_view value);

} // namespace dravik_private
