// How a language writes a label before its value ("Label: value").
#pragma once

#include <string>


// What stands between a label and the value after it for the locale code
// (such as "fr_FR"): " : " in French, which sets a space before the colon;
// the full-width colon in Chinese and Japanese; ": " elsewhere.
std::u16string labelSeparator(const std::u16string& localeCode);

