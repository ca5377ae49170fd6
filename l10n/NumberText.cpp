// Digit grouping by language.
#include "l10n/NumberText.h"

#include <algorithm>

namespace {

// The separator between groups of three digits for a language code (the
// first two letters of a locale code).
char16_t groupSeparator(const std::u16string& language) {
  for (const char16_t* dot : {u"de", u"da", u"nl", u"it", u"es", u"pt", u"tr", u"sl"}) {
    if (language == dot)
      return u'.';
  }
  for (const char16_t* space : {u"fr", u"cs", u"sk", u"pl", u"ru", u"uk", u"fi", u"sv",
                                u"nb", u"hu"}) {
    if (language == space)
      return u'\u00A0';
  }
  return u',';
}

} // namespace

std::u16string groupedNumber(std::uint64_t count, const std::u16string& localeCode) {
  const char16_t separator = groupSeparator(localeCode.substr(0, 2));
  std::u16string reversed;
  int digits = 0;
  do {
    if (digits > 0 && digits % 3 == 0)
      reversed.push_back(separator);
    reversed.push_back(char16_t(u'0' + count % 10));
    count /= 10;
    ++digits;
  } while (count > 0);
  std::reverse(reversed.begin(), reversed.end());
  return reversed;
}
