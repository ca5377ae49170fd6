// Text in the system's ANSI code page: the 8-bit text of the dictionaries'
// round trip and of the lookups that name that code page.
#pragma once

#include <string>

namespace platform {

// text in the ANSI code page (WideCharToMultiByte with CP_ACP, no flags,
// the system's replacement for characters the code page lacks). False only
// when the text cannot be converted at all.
bool wideToAnsi(const std::u16string& text, std::string& out);

// ANSI text as UTF-16 (MultiByteToWideChar with CP_ACP). False when it
// cannot be converted.
bool ansiToWide(const std::string& text, std::u16string& out);

} // namespace platform
