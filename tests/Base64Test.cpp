// Lenient Base64 decoding and the picture writer built on it.
#include "platform/Files.h"
#include "TestPrefix.h"
#include "util/Base64.h"
#include "util/FileHelpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string decode(const std::string& text, size_t capacity, bool& ok, size_t& length) {
  std::string out(capacity, '\0');
  length = capacity;
  ok = base64Decode(text.size(), text.data(), reinterpret_cast<std::uint8_t*>(out.data()), length);
  return out.substr(0, std::min(length, capacity));
}

} // namespace

TEST(Base64, DecodesGroupsPaddingAndSkipsForeignBytes) {
  bool ok;
  size_t length;
  EXPECT_EQ(decode("QUJD", 10, ok, length), "ABC");
  EXPECT_TRUE(ok);
  EXPECT_EQ(decode("QUI=", 10, ok, length), "AB");
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(decode("QU JD\r\n", 10, ok, length), "ABC");
  EXPECT_EQ(decode("Q", 10, ok, length), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(decode(std::string("QUJD\0QUJD", 9), 10, ok, length), "ABC");
}

TEST(Base64, OverflowWritesNothingPastCapacityAndReportsFullLength) {
  std::uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  size_t capacity = 2;
  EXPECT_FALSE(base64Decode(4, "QUJD", out, capacity));
  EXPECT_EQ(capacity, 3u);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(out[2], 0xEE);
  capacity = 0;
  EXPECT_FALSE(base64Decode(4, "QUJD", out, capacity));
  capacity = 3;
  EXPECT_FALSE(base64Decode(4, nullptr, out, capacity));
  capacity = 3;
  EXPECT_FALSE(base64Decode(4, "QUJD", nullptr, capacity));
  EXPECT_EQ(capacity, 3u);
}

TEST(Base64, WriterMakesFoldersAndNamesFilesByGuidOrGivenName) {
  TestPrefix prefix;
  std::u16string path = u"unchanged";
  const char* text = "iVBORw0KGgo=";
  ASSERT_TRUE(writeBase64File(u"C:\\scratch\\icons", path, text, 12, nullptr));
  ASSERT_EQ(path.size(), std::u16string(u"C:\\scratch\\icons\\").size() + 38);
  EXPECT_EQ(path.back(), u'}');
  std::ifstream file(*platform::toHostPath(path), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(bytes, "\x89PNG\r\n\x1a\n");

  std::u16string empty;
  std::u16string named;
  ASSERT_TRUE(writeBase64File(u"C:\\scratch", named, text, 12, &empty));
  EXPECT_EQ(named.size(), std::u16string(u"C:\\scratch\\").size() + 38);
  std::u16string name = u"prod.png";
  ASSERT_TRUE(writeBase64File(u"C:\\scratch", named, text, 12, &name));
  EXPECT_EQ(named, u"C:\\scratch\\prod.png");
}

TEST(Base64, WriterFailureLeavesThePathAlone) {
  TestPrefix prefix;
  prefix.writeFile("blocker");
  std::u16string path = u"unchanged";
  EXPECT_FALSE(writeBase64File(u"C:\\blocker", path, "QUJD", 4, nullptr));
  EXPECT_FALSE(writeBase64File(u"C:\\ok", path, "", 0, nullptr));
  EXPECT_EQ(path, u"unchanged");
}
