// The user's languages: the stand-ins for GetUserDefaultUILanguage and
// GetUserDefaultLangID, taken from the POSIX locale, and the translation of
// a POSIX locale name into a Windows language identifier (LANGID: primary
// language in the low 10 bits, sublanguage in the upper 6).
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// English (United States): the language of C, POSIX and unknown locales.
inline constexpr std::uint16_t kLangIdEnglishUnitedStates = 0x0409;

// The LANGID of a locale name such as "de_AT.UTF-8", "sr_RS@latin" or "de".
// The codeset is ignored; letter case of language and country is not
// significant; "-" may stand for "_". A known language with a country the
// table lacks, or with no country, gets that language's main locale
// ("de" and "de_IT" give German (Germany)). Anything else, including "C"
// and "POSIX", gives English (United States).
std::uint16_t langIdFromLocaleName(std::string_view name);

// The user interface language: the first entry of LANGUAGE, else the first
// set and non-empty of LC_ALL, LC_MESSAGES and LANG.
std::uint16_t userDefaultUILanguage();

// The user's default language (for formats): the first set and non-empty of
// LC_ALL, LC_CTYPE and LANG.
std::uint16_t userDefaultLangId();

} // namespace platform
