// The Windows namespace over a prefix: drive mapping, case-insensitive
// component matching, the current drive and host paths turned back.
#include "platform/Files.h"
#include "platform/WindowsNamespace.h"
#include "util/FileNameCase.h"
#include "util/WindowsPath.h"
#include "TestPrefix.h"

#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(WindowsNamespace, DrivesMapThroughDosdevices) {
  TestPrefix prefix;
  std::filesystem::create_directories(prefix.root / "elsewhere");
  std::filesystem::create_directory_symlink(prefix.root / "elsewhere",
                                            prefix.root / "dosdevices" / "d:");
  EXPECT_EQ(platform::toHostPath(u"C:\\windows"), (prefix.driveC() / "windows").string());
  EXPECT_EQ(platform::toHostPath(u"d:\\x"), (prefix.root / "elsewhere" / "x").string());
  // Pointed elsewhere, the drive leads there at once.
  std::filesystem::create_directories(prefix.root / "moved");
  std::filesystem::remove(prefix.root / "dosdevices" / "d:");
  std::filesystem::create_directory_symlink(prefix.root / "moved", prefix.root / "dosdevices" / "d:");
  EXPECT_EQ(platform::toHostPath(u"d:\\x"), (prefix.root / "moved" / "x").string());
  EXPECT_EQ(platform::toHostPath(u"Z:\\tmp\\x"), "/tmp/x");
  EXPECT_FALSE(platform::toHostPath(u"Q:\\x").has_value());
  EXPECT_FALSE(platform::toHostPath(u"\\\\server\\share\\x").has_value());
  EXPECT_FALSE(platform::toHostPath(u"//server/share/x").has_value());
  EXPECT_FALSE(platform::toHostPath(u"\\\\?\\UNC\\server\\share\\x").has_value());
}

TEST(WindowsNamespace, DriveCWithoutDosdevicesFallsBackToDriveFolder) {
  TestPrefix prefix;
  std::filesystem::remove_all(prefix.root / "dosdevices");
  EXPECT_EQ(platform::toHostPath(u"C:\\a"), (prefix.driveC() / "a").string());
  EXPECT_EQ(platform::toHostPath(u"Z:\\"), "/");
  std::filesystem::remove_all(prefix.driveC());
  EXPECT_FALSE(platform::toHostPath(u"C:\\a").has_value());
  // Without drive C: the current drive is Z:.
  EXPECT_EQ(platform::toHostPath(u"\\tmp"), "/tmp");
}

TEST(WindowsNamespace, ComponentsMatchExactlyThenIgnoringAsciiCase) {
  TestPrefix prefix;
  prefix.writeFile("Program Files/Common Files/Orvia/cdbx/Media_db.db");
  prefix.writeFile("Program Files/Common Files/Orvia/CDBX/other");
  auto host = platform::toHostPath(u"C:\\program files\\COMMON FILES\\orvia\\Cdbx\\media_DB.db");
  ASSERT_TRUE(host);
  // "Cdbx" matches no entry exactly, so the first folded match is taken;
  // the exact spelling wins wherever it exists.
  std::string path = *host;
  EXPECT_EQ(path.substr(0, prefix.driveC().string().size()), prefix.driveC().string());
  EXPECT_TRUE(path.find("/Program Files/Common Files/Orvia/") != std::string::npos);
  EXPECT_EQ(platform::toHostPath(u"C:\\Program Files\\Common Files\\Orvia\\CDBX\\other"),
            (prefix.driveC() / "Program Files/Common Files/Orvia/CDBX/other").string());
  // A component that matches nothing is kept as written, for files to create.
  EXPECT_EQ(platform::toHostPath(u"C:\\Program Files\\New\\File.TXT"),
            (prefix.driveC() / "Program Files/New/File.TXT").string());
}

TEST(WindowsNamespace, ComponentsFoldCaseBeyondAscii) {
  TestPrefix prefix;
  prefix.writeFile("\u00dcber/\u00c4rger/\u0392\u0397\u03a4\u0391.dll"); // Über/Ärger/ΒΗΤΑ.dll
  prefix.writeFile("Stra\u00dfe/x.dll");                            // Straße/x.dll
  EXPECT_EQ(platform::toHostPath(u"C:\\\u00fcber\\\u00e4rger\\\u03b2\u03b7\u03c4\u03b1.DLL"),
            (prefix.driveC() / "\u00dcber/\u00c4rger/\u0392\u0397\u03a4\u0391.dll").string());
  // Each unit maps to one unit: "ß" has no single upper-case unit and stays.
  EXPECT_EQ(platform::toHostPath(u"C:\\STRASSE\\x.dll"),
            (prefix.driveC() / "STRASSE/x.dll").string());
  EXPECT_EQ(platform::toHostPath(u"C:\\STRA\u00dfE\\X.DLL"),
            (prefix.driveC() / "Stra\u00dfe/x.dll").string());
}

namespace {

// In a process of its own under the C locale, with no locale files to be
// found: ends with 0 when names still fold beyond ASCII, else with 1.
[[noreturn]] void foldUnderTheCLocale() {
  std::setlocale(LC_ALL, "");
  TestPrefix prefix;
  prefix.writeFile("\u00dcber/\u0392\u0397\u03a4\u0391.dll"); // Über/ΒΗΤΑ.dll
  const bool found = platform::toHostPath(u"C:\\\u00fcber\\\u03b2\u03b7\u03c4\u03b1.DLL") ==
                     (prefix.driveC() / "\u00dcber/\u0392\u0397\u03a4\u0391.dll").string();
  std::_Exit(found ? 0 : 1);
}

} // namespace

TEST(WindowsNamespace, NamesFoldAlikeUnderEveryLocale) {
  // One unit to one unit by Unicode's simple mapping, where a table built
  // from the full mapping, from Latin-1 alone or from a title-case mapping
  // would differ.
  const std::pair<char16_t, char16_t> folds[] = {
      {u'a', u'A'},           {u'\u00ff', u'\u0178'}, {u'\u0131', u'I'},
      {u'\u017f', u'S'},      {u'\u00b5', u'\u039c'}, {u'\u01c5', u'\u01c4'},
      {u'\u01c6', u'\u01c4'}, {u'\u1fb3', u'\u1fbc'}, {u'\u24d0', u'\u24b6'},
      {u'\uff41', u'\uff21'}, {u'\u0450', u'\u0400'}, {u'\u00df', u'\u00df'},
      {u'\ufb00', u'\ufb00'}, {u'\u1fbc', u'\u1fbc'}, {u'\u212a', u'\u212a'},
      {u'\u00d7', u'\u00d7'}, {char16_t(0xD801), char16_t(0xD801)}, {char16_t(0xDC28), char16_t(0xDC28)}};
  for (auto [unit, upper] : folds)
    EXPECT_EQ(int(toUpperFileNameUnit(unit)), int(upper)) << std::hex << int(unit);

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TestPrefix scratch; // a folder that goes again at the end
  const std::filesystem::path noLocales = scratch.root / "no-locales";
  std::filesystem::create_directories(noLocales);
  ScopedEnvironment all("LC_ALL", "C");
  ScopedEnvironment ctype("LC_CTYPE", "C");
  ScopedEnvironment lang("LANG", "C");
  ScopedEnvironment files("LOCPATH", noLocales.string());
  EXPECT_EXIT(foldUnderTheCLocale(), ::testing::ExitedWithCode(0), "");
}

TEST(WindowsNamespace, PathsWithoutDriveUseTheCurrentDrive) {
  TestPrefix prefix;
  EXPECT_EQ(platform::toHostPath(u"\\tg.bin"), (prefix.driveC() / "tg.bin").string());
  EXPECT_EQ(platform::toHostPath(u"C:\\a\\\\b\\.\\c\\..\\d"), (prefix.driveC() / "a/b/d").string());
}

TEST(WindowsNamespace, WhatRemainsOfAPathAfterNormalisationDecidesItsFolder) {
  using Components = std::vector<std::u16string>;
  EXPECT_EQ(normalizedComponents(u"\\a\\\\b\\.\\c\\..\\d/e/"), (Components{u"a", u"b", u"d", u"e"}));
  EXPECT_EQ(normalizedComponents(u"..\\..\\a"), (Components{u"a"}));
  for (const char16_t* below : {u"C:\\Apps", u"c:/Apps", u"C:\\Apps\\.\\", u"C:\\.\\Apps\\..\\Apps"})
    EXPECT_TRUE(namesFolderBelowDriveRoot(below)) << TestPrefix::utf8(below);
  for (const char16_t* root : {u"", u"C:", u"C:\\", u"C:\\\\", u"C:\\.", u"C:\\..", u"C:\\Apps\\..",
                               u"C:\\Apps\\..\\..", u"C:Apps", u"Apps", u"\\Apps", u"1:\\Apps",
                               u"\\\\server\\share"})
    EXPECT_FALSE(namesFolderBelowDriveRoot(root)) << TestPrefix::utf8(root);
}

TEST(WindowsNamespace, HostPathsTurnIntoWindowsPaths) {
  TestPrefix prefix;
  EXPECT_EQ(platform::toWindowsPath("/tmp/x"), u"Z:\\tmp\\x");
  EXPECT_EQ(platform::toWindowsPath("/tmp/"), u"Z:\\tmp\\");
  prefix.writeFile("users/me/file.txt");
  EXPECT_EQ(platform::toWindowsPath((prefix.driveC() / "users/me/file.txt").string()),
            u"C:\\users\\me\\file.txt");
  EXPECT_EQ(platform::toWindowsPath(prefix.driveC().string()), u"C:\\");
}

TEST(WindowsNamespace, TempPathIsAWindowsFolderEndingInBackslash) {
  TestPrefix prefix;
  std::u16string temp = platform::getTempPath();
  ASSERT_GE(temp.size(), 3u);
  EXPECT_EQ(temp.substr(1, 2), u":\\");
  EXPECT_EQ(temp.back(), u'\\');
  EXPECT_TRUE(platform::pathIsDirectory(temp));
}
