// Reading registry files in their text format, and the prefix's hives.
#include "platform/Registry.h"

#include "TestPrefix.h"

#include <gtest/gtest.h>

namespace {

std::u16string textOf(const platform::RegistryHive& hive, std::u16string_view key,
                      std::u16string_view name) {
  const platform::RegistryValue* value = hive.find(key, name);
  std::u16string text;
  if (!value || !value->text(text))
    return u"<none>";
  return text;
}

constexpr std::string_view kSample =
    "WINE REGISTRY Version 2\r\n"
    ";; All keys relative to \\\\Machine\r\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Vendor\\\\App] 1700000000\n"
    "#time=1d9a2b3c4d5e6f7\n"
    "#class=\"shell\"\n"
    "@=\"the default\"\n"
    "\"Plain\"=\"C:\\\\Program Files\\\\App\"\n"
    "\"Quoted\"=\"say \\\"hi\\\"\\tnow\"\n"
    "\"Hexed\"=\"caf\\x00e9 \\x20ac\\101\"\n"
    "\"Utf8\"=\"Gr\xC3\xBC\xC3\x9F" "e\"\n"
    "\"Expand\"=str(2):\"%SystemRoot%\\\\system32\"\n"
    "\"Multi\"=str(7):\"one\\0two\\0\"\n"
    "\"Number\"=dword:0000002a\n"
    "\"Blob\"=hex:01,02,ff\n"
    "\"Wrapped\"=hex(2):43,00,3a,00,5c,00,\\\n"
    "  41,00,00,00\n"
    "\"Broken\"=hex:zz,01\n"
    "\"After\"=\"still read\"\n"
    "\n"
    "[Software\\\\Vendor\\\\App\\\\Sub One] 1700000000\n"
    "\"x\"=\"1\"\n"
    "[software\\\\vendor\\\\app\\\\sub two\\\\deeper] 1700000000\n"
    "\"y\"=\"2\"\n";

} // namespace

TEST(Registry, ReadsEveryValueFormOfTheTextFormat) {
  platform::RegistryHive hive;
  ASSERT_TRUE(hive.parse(kSample));
  EXPECT_TRUE(hive.is64Bit());
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u""), u"the default");
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u"Plain"), u"C:\\Program Files\\App");
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u"Quoted"), u"say \"hi\"\tnow");
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u"Hexed"), u"caf\u00e9 \u20acA");
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u"Utf8"), u"Grüße");
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u"Expand"), u"%SystemRoot%\\system32");
  EXPECT_EQ(hive.find(u"Software\\Vendor\\App", u"Expand")->type, platform::kRegExpandSz);
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u"Multi"), u"one");
  EXPECT_EQ(hive.find(u"Software\\Vendor\\App", u"Multi")->data.size(), 2u * 9u);

  const platform::RegistryValue* number = hive.find(u"Software\\Vendor\\App", u"Number");
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(number->type, platform::kRegDword);
  EXPECT_EQ(number->data, (std::vector<std::uint8_t>{0x2a, 0, 0, 0}));
  std::u16string unused;
  EXPECT_FALSE(number->text(unused));

  const platform::RegistryValue* blob = hive.find(u"Software\\Vendor\\App", u"Blob");
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(blob->type, platform::kRegBinary);
  EXPECT_EQ(blob->data, (std::vector<std::uint8_t>{1, 2, 0xff}));

  // UTF-16LE bytes of an expandable string, wrapped over two lines.
  const platform::RegistryValue* wrapped = hive.find(u"Software\\Vendor\\App", u"Wrapped");
  ASSERT_NE(wrapped, nullptr);
  EXPECT_EQ(wrapped->type, platform::kRegExpandSz);
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u"Wrapped"), u"C:\\A");

  // A value that cannot be read is skipped; the next one is not lost.
  EXPECT_EQ(hive.find(u"Software\\Vendor\\App", u"Broken"), nullptr);
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App", u"After"), u"still read");
}

TEST(Registry, LooksUpKeysAndNamesWithoutAsciiCase) {
  platform::RegistryHive hive;
  ASSERT_TRUE(hive.parse(kSample));
  EXPECT_EQ(textOf(hive, u"SOFTWARE\\vendor\\aPP", u"plain"), u"C:\\Program Files\\App");
  EXPECT_TRUE(hive.hasKey(u"software\\VENDOR"));
  EXPECT_FALSE(hive.hasKey(u"Software\\Vend"));
  EXPECT_EQ(hive.subkeys(u"Software\\Vendor\\App"),
            (std::vector<std::u16string>{u"Sub One", u"sub two"}));
  EXPECT_EQ(textOf(hive, u"Software\\Vendor\\App\\Sub Two\\Deeper", u"Y"), u"2");
}

TEST(Registry, RefusesTextThatIsNoRegistryFile) {
  platform::RegistryHive hive;
  ASSERT_TRUE(hive.parse(kSample));
  EXPECT_FALSE(hive.parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=\"b\"\n"));
  EXPECT_FALSE(hive.hasKey(u"Software"));
  EXPECT_FALSE(hive.is64Bit());
  EXPECT_FALSE(hive.parse(""));
}

TEST(Registry, ValuesOutsideAnyKeyAndUnterminatedTextAreIgnored) {
  platform::RegistryHive hive;
  ASSERT_TRUE(hive.parse("WINE REGISTRY Version 2\n"
                         "\"Orphan\"=\"x\"\n"
                         "[Key] 1\n"
                         "\"Open\"=\"no end\n"
                         "\"Tail\"=hex:01,\\\n"));
  EXPECT_EQ(hive.find(u"", u"Orphan"), nullptr);
  EXPECT_EQ(hive.find(u"Key", u"Open"), nullptr);
  const platform::RegistryValue* tail = hive.find(u"Key", u"Tail");
  ASSERT_NE(tail, nullptr);
  EXPECT_EQ(tail->data, (std::vector<std::uint8_t>{1}));
}

TEST(Registry, PrefixHivesFollowTheirFiles) {
  TestPrefix machine(TestPrefix::Arch::Win32);
  platform::RegistryValue value;
  EXPECT_FALSE(platform::readRegistryValue(platform::RegistryRoot::CurrentUser,
                                           u"Software\\Fennick", u"Mode", value));
  machine.addUserKeys("[Software\\\\Fennick] 1\n\"Mode\"=\"first\"\n");
  std::u16string text;
  ASSERT_TRUE(platform::readRegistryValue(platform::RegistryRoot::CurrentUser,
                                          u"Software\\Fennick", u"Mode", value));
  ASSERT_TRUE(value.text(text));
  EXPECT_EQ(text, u"first");
  machine.addUserKeys("[Software\\\\Fennick] 1\n\"Mode\"=\"second, longer\"\n");
  ASSERT_TRUE(platform::readRegistryValue(platform::RegistryRoot::CurrentUser,
                                          u"Software\\Fennick", u"Mode", value));
  ASSERT_TRUE(value.text(text));
  EXPECT_EQ(text, u"second, longer");
  EXPECT_FALSE(platform::loadRegistryHive(platform::RegistryRoot::LocalMachine)->is64Bit());
  std::filesystem::remove(machine.root / "system.reg");
  EXPECT_EQ(platform::loadRegistryHive(platform::RegistryRoot::LocalMachine), nullptr);
}
