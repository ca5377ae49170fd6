// The punctuation between a label and its value, by language.
#include "l10n/LabelPunctuation.h"


std::u16string labelSeparator(const std::u16string& localeCode) {
  const std::u16string language = localeCode.substr(0, 2);
  if (language == u"fr")
    return u" : ";
  if (language == u"ja" || language == u"zh")
    return u"\uFF1A";
  return u": ";
}

