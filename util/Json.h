// JSON text for the command-line tools' machine-readable output.
#pragma once

#include <string>

// A JSON string literal, quotes included, of UTF-8 text (ill-formed
// sequences become U+FFFD; the text ends at a zero byte).
std::string jsonString(const std::string& utf8);
// The same for wide text.
std::string jsonString(const std::u16string& text);
