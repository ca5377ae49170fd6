// Text for the terminal: UTF-8 converted to the terminal's character set,
// with a question mark for each character the set lacks.
#include "platform/Console.h"

#include "Requirements.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// True when the platform converts text into charset: "à" changes.
bool hasConverter(const char* charset) { return platform::toCharset("\xC3\xA0", charset) == "\xE0"; }

} // namespace

TEST(Console, TextIsConvertedToTheCharacterSet) {
  for (const char* charset : {"ISO-8859-1", "ISO-8859-15"})
    FENNICK_REQUIRE(hasConverter(charset),
                    std::string("the platform has no converter to ") + charset);
  EXPECT_EQ(platform::toCharset("Obtenir la mise \xC3\xA0 jour", "ISO-8859-1"),
            "Obtenir la mise \xE0 jour");
  EXPECT_EQ(platform::toCharset("Gr\xC3\xBC\xC3\x9F" "e", "ISO-8859-15"), "Gr\xFC\xDF" "e");
  // Characters the set lacks become one question mark each, and the text
  // after them is kept.
  EXPECT_EQ(platform::toCharset("a\xE6\x97\xA5\xE6\x9C\xAC" "b\xE2\x82\xAC", "ISO-8859-1"), "a??b?");
  // A broken sequence is no character either.
  EXPECT_EQ(platform::toCharset("x\xC3y", "ISO-8859-1"), "x?y");
}

TEST(Console, Utf8AndUnknownSetsKeepTheText) {
  const std::string text = "mise \xC3\xA0 jour \xE6\x97\xA5";
  EXPECT_EQ(platform::toCharset(text, "UTF-8"), text);
  EXPECT_EQ(platform::toCharset(text, "utf8"), text);
  EXPECT_EQ(platform::toCharset(text, "NO-SUCH-CHARSET"), text);
}
