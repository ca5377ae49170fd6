// The shared text helpers: UTF-8 and ANSI conversions of wide (UTF-16) text,
// ASCII-only case folding and the case-insensitive tests built on it, GUID
// text and backslash escaping for script string literals.
#pragma once

#include <string>

// Converts narrow UTF-8 text, up to its first zero byte, to UTF-16. An empty
// input gives an empty output and true. Invalid sequences become U+FFFD, as
// the platform's converter does. False, with the output unchanged, when the
// conversion yields nothing from a non-empty input.
bool utf8ToWide(const std::string& text, std::u16string& out);

// Converts UTF-16 text, up to its first zero unit, to UTF-8 (a lone surrogate
// becomes U+FFFD). Same result rules as utf8ToWide.
bool wideToUtf8(const std::u16string& text, std::string& out);

// Maps every unit from 'a' to 'z' to its upper-case letter; nothing else.
void toUpperAscii(std::u16string& text);

// True when the last units of text equal suffix after ASCII folding. A text
// shorter than the suffix never matches; an empty suffix ends every text.
bool endsWithNoCase(const std::u16string& text, const std::u16string& suffix);

// True when part occurs in text as a contiguous run after ASCII folding.
bool containsNoCase(const std::u16string& text, const std::u16string& part);

// A fresh GUID in its braced registry form, 38 characters, upper-case hex.
bool newGuidString(std::u16string& out);

// Every backslash doubled, so the text can stand inside a script literal.
std::u16string escapeBackslashes(const std::u16string& text);
