// The shared text helpers: conversions, ASCII folding, GUID text, escaping.
#include "util/Text.h"

#include <gtest/gtest.h>

TEST(Text, Utf8RoundTripKeepsEveryPlane) {
  std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80";
  std::u16string wide;
  ASSERT_TRUE(utf8ToWide(utf8, wide));
  EXPECT_EQ(wide, u"Grüße € \U0001F600");
  std::string back;
  ASSERT_TRUE(wideToUtf8(wide, back));
  EXPECT_EQ(back, utf8);
}

TEST(Text, ConversionStopsAtFirstZeroAndEmptyIsTrue) {
  std::u16string wide = u"unchanged";
  EXPECT_TRUE(utf8ToWide(std::string("ab\0cd", 5), wide));
  EXPECT_EQ(wide, u"ab");
  EXPECT_TRUE(utf8ToWide("", wide));
  EXPECT_EQ(wide, u"");
}

TEST(Text, InvalidSequencesBecomeReplacementCharacters) {
  std::u16string wide;
  ASSERT_TRUE(utf8ToWide("a\xC0\xAF" "b\xE2\x82", wide));
  EXPECT_EQ(wide, u"a\uFFFD\uFFFDb\uFFFD");
  // Overlong forms, encoded surrogates and values above U+10FFFF are no
  // text: nothing but replacements stands between a and b.
  for (const char* bad : {"a\xE0\x80\xAF" "b", "a\xC1\xBF" "b", "a\xF0\x80\x80\xAF" "b",
                          "a\xED\xA0\x80" "b", "a\xED\xBF\xBF" "b", "a\xF4\x90\x80\x80" "b"}) {
    ASSERT_TRUE(utf8ToWide(bad, wide));
    ASSERT_GE(wide.size(), 3u);
    EXPECT_EQ(wide.front(), u'a');
    EXPECT_EQ(wide.back(), u'b');
    EXPECT_EQ(wide.find_first_not_of(u'\uFFFD', 1), wide.size() - 1) << bad;
  }
  std::string narrow;
  ASSERT_TRUE(wideToUtf8(std::u16string(u"x") + char16_t(0xD800) + u"y", narrow));
  EXPECT_EQ(narrow, "x\xEF\xBF\xBDy");
}

TEST(Text, FoldingTouchesOnlyAsciiLetters) {
  std::u16string text = u"abz-éß{}";
  toUpperAscii(text);
  EXPECT_EQ(text, u"ABZ-éß{}");
}

TEST(Text, SuffixAndContainsIgnoreAsciiCaseOnly) {
  EXPECT_TRUE(endsWithNoCase(u"C:\\App\\LIB.Dll", u".dll"));
  EXPECT_FALSE(endsWithNoCase(u"exe", u".exe"));
  EXPECT_TRUE(endsWithNoCase(u".exe", u".EXE"));
  EXPECT_TRUE(endsWithNoCase(u"", u""));
  EXPECT_FALSE(endsWithNoCase(u"file.É", u".é"));
  EXPECT_FALSE(endsWithNoCase(u"lib.DLL.bak", u".dll")); // the suffix, but not at the end
  EXPECT_FALSE(endsWithNoCase(u"lib-dll", u".dll"));     // all but its first unit
  EXPECT_FALSE(endsWithNoCase(u"lib.dlx", u".dll"));     // all but its last unit
  EXPECT_TRUE(containsNoCase(u"Signer{|}orvia systems CA", u"ORVIA SYSTEMS"));
  EXPECT_TRUE(containsNoCase(u"anything", u""));
  EXPECT_FALSE(containsNoCase(u"short", u"shorter"));
}

TEST(Text, GuidTextHasRegistryFormAndIsFresh) {
  std::u16string first, second;
  ASSERT_TRUE(newGuidString(first));
  ASSERT_TRUE(newGuidString(second));
  EXPECT_NE(first, second);
  ASSERT_EQ(first.size(), 38u);
  EXPECT_EQ(first.front(), u'{');
  EXPECT_EQ(first.back(), u'}');
  for (size_t i = 1; i < 37; ++i) {
    char16_t c = first[i];
    if (i == 9 || i == 14 || i == 19 || i == 24)
      EXPECT_EQ(c, u'-');
    else
      EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << i;
  }
}

TEST(Text, EscapeBackslashesDoublesEach) {
  EXPECT_EQ(escapeBackslashes(u"setApplicationPath('res://C:\\Tools\\app.exe/');"),
            u"setApplicationPath('res://C:\\\\Tools\\\\app.exe/');");
  EXPECT_EQ(escapeBackslashes(u"\\\\"), u"\\\\\\\\");
}
