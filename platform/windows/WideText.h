// Text helpers of the Windows platform sources: the system's wide strings
// are UTF-16 like std::u16string, so the two are handed across as they are;
// narrow text is converted with MultiByteToWideChar/WideCharToMultiByte.
#pragma once

#include <windows.h>

#include <string>

namespace platform::win {

inline const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string fromWide(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

inline std::u16string fromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// Narrow text of code page (CP_UTF8 or CP_ACP) as UTF-16. Strict for UTF-8:
// false when the bytes are no valid UTF-8, so that callers can fall back to
// the ANSI code page.
bool narrowToWide(const std::string& text, UINT codePage, std::u16string& out);

// UTF-16 as narrow text of code page. False when a character has no
// representation in it (CP_ACP), or the text is no valid UTF-16.
bool wideToNarrow(const std::u16string& text, UINT codePage, std::string& out);

} // namespace platform::win
