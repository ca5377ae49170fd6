// Dictionaries on Windows: 8-bit text and the lookups that name the ANSI
// code page go through the system's ANSI code page, not UTF-8.
#include "l10n/StringDictionary.h"

#include "DictionaryTestText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The bytes as the ANSI code page reads them.
std::u16string inAnsiCodePage(const std::string& bytes) {
  wchar_t buffer[64];
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), int(bytes.size()), buffer, 64);
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), std::size_t(length));
}

TEST(AnsiDictionary, EightBitTextIsReadInTheAnsiCodePage) {
  ASSERT_NE(GetACP(), UINT(CP_UTF8)) << "this check needs an ANSI code page other than UTF-8";
  const std::string value = "gr\xC3\xBC\xC3\x9F";
  const testtext::Bytes text = testtext::narrow("$$$/ZFNK/a=" + value);
  dravik::DictionaryHandle dictionary = dravik::createDictionary();
  dravik::loadDictionary(*dictionary, text.data(), text.size(), 0);

  const std::u16string expected = inAnsiCodePage(value);
  ASSERT_EQ(expected.size(), value.size()); // one unit per byte, not the UTF-8 reading
  EXPECT_EQ(dravik::lookupString(*dictionary, "$$$/ZFNK/a").text(), expected);
  EXPECT_EQ(dravik::lookupString(*dictionary, ("$$$/ZFNK/none=" + value).c_str(),
                                 dravik::CodePage::Ansi)
                .text(),
            expected);
  EXPECT_EQ(dravik::lookupString(*dictionary, ("$$$/ZFNK/none=" + value).c_str(),
                                 dravik::CodePage::Utf8)
                .text(),
            u"gr\u00FC\u00DF");
}

} // namespace
