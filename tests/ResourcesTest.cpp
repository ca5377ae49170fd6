// The resource table compiled into the executables.
#include "platform/Resources.h"

#include "config/XmlDocument.h"
#include "util/Text.h"

#include <gtest/gtest.h>

#include <string>

TEST(Resources, TableHoldsTheHelperAndTheScanConfig) {
  std::span<const std::uint8_t> helper = platform::findResource(platform::kResourceTokenHelper, 141);
  ASSERT_GT(helper.size(), 4u);
  EXPECT_EQ(std::string(helper.begin(), helper.begin() + 4), "\x7F" "ELF");

  std::span<const std::uint8_t> config = platform::findResource(platform::kResourceScanConfig, 171);
  ASSERT_FALSE(config.empty());
  std::u16string text;
  ASSERT_TRUE(utf8ToWide(std::string(config.begin(), config.end()), text));
  XmlDocumentPtr document;
  EXPECT_TRUE(loadXmlText(text, document));
}

TEST(Resources, LookupMissesWrongIdsAndTypes) {
  EXPECT_TRUE(platform::findResource(platform::kResourceTokenHelper, 142).empty());
  EXPECT_TRUE(platform::findResource(platform::kResourceScanConfig, 141).empty());
  EXPECT_TRUE(platform::findResource("301 ", 141).empty());
  EXPECT_TRUE(platform::findResource("", 141).empty());
  EXPECT_TRUE(platform::findResource("NOPE", 0).empty());
}
