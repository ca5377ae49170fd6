// How a language writes a count: its digits in groups of three, with the
// separator the language puts between the groups.
#pragma once

#include <cstdint>
#include <string>

// The count in decimal digits, grouped by threes from the right for the
// locale code (such as "de_DE"): "1,204" in English, Japanese, Korean and
// Chinese, "1.204" in German, Danish, Dutch, Italian, Spanish, Portuguese,
// Turkish and Slovenian, and "1 204" with a no-break space in the other
// languages of the dictionaries (French, the Nordic and Slavic languages,
// Finnish, Hungarian).
std::u16string groupedNumber(std::uint64_t count, const std::u16string& localeCode);
