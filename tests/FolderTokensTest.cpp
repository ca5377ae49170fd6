// Folder tokens: the 32-bit table, substitution, and reading the helper's
// token.xml (here with stand-in helpers that write a prepared file).
#include "config/FolderTokenHelper.h"
#include "config/FolderTokens.h"

#include "TestPrefix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

// A folder holding a tg.bin that copies prepared.xml to token.xml (when
// given) and leaves a mark that it ran.
class StandInHelper {
public:
  explicit StandInHelper(const TestPrefix& machine, const std::optional<std::string>& tokenXml) {
    folder = machine.root / "scratch";
    std::filesystem::create_directories(folder);
    if (tokenXml)
      std::ofstream(folder / "prepared.xml") << *tokenXml;
    std::ofstream(folder / "tg.bin") << "#!/bin/sh\n"
                                        "cd \"$(dirname \"$0\")\"\n"
                                        "printf '%s:%s\\n' \"$#\" \"$1\" > ran\n"
                                        "[ -f prepared.xml ] && cp prepared.xml token.xml\n"
                                        "exit 0\n";
    std::filesystem::permissions(folder / "tg.bin", std::filesystem::perms::owner_all);
  }
  std::u16string helperPath() const {
    return platform::toWindowsPath((folder / "tg.bin").string());
  }
  bool ran() const { return std::filesystem::exists(folder / "ran"); }
  std::string arguments() const {
    std::string line;
    std::getline(std::ifstream(folder / "ran"), line);
    return line;
  }

private:
  std::filesystem::path folder;
};

constexpr char kFullTokenXml[] =
    "<?xml version=\"1.0\"?>\n<win64>\n"
    "  <OrviaProgramFiles>C:\\Program Files\\Orvia</OrviaProgramFiles>\n"
    "  <OrviaCommon>C:\\Program Files\\Common Files\\Orvia</OrviaCommon>\n"
    "  <Utilities>C:\\Program Files\\Common Files\\Orvia</Utilities>\n"
    "  <Common></Common>\n"
    "  <ProgramFiles>C:\\Program Files</ProgramFiles>\n"
    "  <SharedApplicationData>C:\\ProgramData</SharedApplicationData>\n"
    "  <SharedDocuments>C:\\users\\Public\\Documents</SharedDocuments>\n"
    "  <FontsFolder>C:\\windows\\Fonts</FontsFolder>\n"
    "  <StartMenu>C:\\ProgramData\\Start Menu</StartMenu>\n"
    "  <System32Folder>C:\\windows\\system32</System32Folder>\n"
    "  <UserDocuments>C:\\users\\u\\Documents</UserDocuments>\n"
    "  <UserRoamingAppData>C:\\users\\u\\AppData\\Roaming</UserRoamingAppData>\n"
    "  <UserLocalAppData>C:\\users\\u\\AppData\\Local</UserLocalAppData>\n"
    "  <UserFavorites>C:\\users\\u\\Favorites</UserFavorites>\n"
    "  <UserPictures>C:\\users\\u\\Pictures</UserPictures>\n"
    "  <UserTemplates>C:\\users\\u\\Templates</UserTemplates>\n"
    "</win64>\n";

} // namespace

TEST(FolderTokens, SubstitutionReplacesOnlyALeadingExactToken) {
  FolderTokenMap tokens = {{u"[Common]", u"C:\\Program Files (x86)\\Common Files"},
                           {u"[Common64]", u"C:\\Program Files\\Common Files"},
                           {u"[Empty]", u""}};
  std::u16string result = u"untouched";
  ASSERT_TRUE(substituteFolderToken(u"[Common]", tokens, result));
  EXPECT_EQ(result, u"C:\\Program Files (x86)\\Common Files");
  ASSERT_TRUE(substituteFolderToken(u"[Common]\\Orvia\\Cdbx", tokens, result));
  EXPECT_EQ(result, u"C:\\Program Files (x86)\\Common Files\\Orvia\\Cdbx");
  ASSERT_TRUE(substituteFolderToken(u"[Common64]\\Orvia", tokens, result));
  EXPECT_EQ(result, u"C:\\Program Files\\Common Files\\Orvia");
  ASSERT_TRUE(substituteFolderToken(u"[Empty]\\x", tokens, result));
  EXPECT_EQ(result, u"\\x");
  // At most one token, and only at the start.
  ASSERT_TRUE(substituteFolderToken(u"[Common][Common]", tokens, result));
  EXPECT_EQ(result, u"C:\\Program Files (x86)\\Common Files[Common]");

  result = u"untouched";
  EXPECT_FALSE(substituteFolderToken(u"[common]\\Orvia", tokens, result));
  EXPECT_FALSE(substituteFolderToken(u"Orvia\\[Common]", tokens, result));
  EXPECT_FALSE(substituteFolderToken(u"[NoSuchToken]\\x", tokens, result));
  EXPECT_FALSE(substituteFolderToken(u"", tokens, result));
  EXPECT_FALSE(substituteFolderToken(u"[Common]", {}, result));
  EXPECT_EQ(result, u"untouched");
}

TEST(FolderTokens, ThirtyTwoBitMachineGivesTheSixteenTokens) {
  TestPrefix machine(TestPrefix::Arch::Win32);
  ScopedEnvironment user("USER", "tester");
  FolderTokenMap tokens;
  collectFolderTokens(tokens);
  const std::u16string home = u"C:\\users\\tester";
  FolderTokenMap expected = {
      {u"[OrviaProgramFiles]", u"C:\\Program Files\\Orvia"},
      {u"[OrviaCommon]", u"C:\\Program Files\\Common Files\\Orvia"},
      {u"[Common]", u"C:\\Program Files\\Common Files"},
      {u"[ProgramFiles]", u"C:\\Program Files"},
      {u"[SharedApplicationData]", u"C:\\ProgramData"},
      {u"[SharedDocuments]", u"C:\\users\\Public\\Documents"},
      {u"[FontsFolder]", u"C:\\windows\\Fonts"},
      {u"[StartMenu]", u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
      {u"[System32Folder]", u"C:\\windows\\system32"},
      {u"[UserDocuments]", home + u"\\Documents"},
      {u"[UserRoamingAppData]", home + u"\\AppData\\Roaming"},
      {u"[UserLocalAppData]", home + u"\\AppData\\Local"},
      {u"[UserHome]", home},
      {u"[UserFavorites]", home + u"\\Favorites"},
      {u"[UserPictures]", home + u"\\Pictures"},
      {u"[UserTemplates]", home + u"\\Templates"},
  };
  EXPECT_EQ(tokens, expected);

  // The helper is not even started on a 32-bit machine.
  StandInHelper helper(machine, std::string(kFullTokenXml));
  runFolderTokenHelper(helper.helperPath(), tokens);
  EXPECT_FALSE(helper.ran());
  EXPECT_EQ(tokens, expected);
}

TEST(FolderTokens, WithoutAMachineThereAreNoTokens) {
  TestPrefix machine({.driveC = false});
  FolderTokenMap tokens;
  collectFolderTokens(tokens);
  EXPECT_TRUE(tokens.empty());
}

TEST(FolderTokens, HelperOutputGivesThe64BitTokensItNames) {
  TestPrefix machine(TestPrefix::Arch::Win64);
  // No UserHome element, and an empty Common.
  StandInHelper helper(machine, std::string(kFullTokenXml));
  FolderTokenMap tokens = {{u"[Common]", u"C:\\Program Files (x86)\\Common Files"}};
  runFolderTokenHelper(helper.helperPath(), tokens);
  ASSERT_TRUE(helper.ran());
  // One argument: the Windows path of token.xml next to tg.bin, unquoted.
  std::u16string helperPath = helper.helperPath();
  EXPECT_EQ(helper.arguments(),
            "1:" + TestPrefix::utf8(helperPath.substr(0, helperPath.size() - 6)) + "token.xml");

  EXPECT_EQ(tokens.size(), 1u + 16u);
  EXPECT_EQ(tokens.count(u"[UserHome64]"), 0u);
  EXPECT_EQ(tokens.at(u"[Common64]"), u"");
  EXPECT_EQ(tokens.at(u"[Common]"), u"C:\\Program Files (x86)\\Common Files");
  EXPECT_EQ(tokens.at(u"[Utilities64]"), u"C:\\Program Files\\Common Files\\Orvia");
  EXPECT_EQ(tokens.at(u"[System32Folder64]"), u"C:\\windows\\system32");
  EXPECT_EQ(tokens.at(u"[UserTemplates64]"), u"C:\\users\\u\\Templates");
}

TEST(FolderTokens, HelperWithoutUsableOutputAddsNothing) {
  TestPrefix machine(TestPrefix::Arch::Win64);
  {
    StandInHelper silent(machine, std::nullopt);
    FolderTokenMap tokens;
    runFolderTokenHelper(silent.helperPath(), tokens);
    EXPECT_TRUE(silent.ran());
    EXPECT_TRUE(tokens.empty());
  }
  std::filesystem::remove_all(machine.root / "scratch");
  {
    StandInHelper garbled(machine, std::string("<win64><Common>C:\\x</win64>"));
    FolderTokenMap tokens;
    runFolderTokenHelper(garbled.helperPath(), tokens);
    EXPECT_TRUE(garbled.ran());
    EXPECT_TRUE(tokens.empty());
  }
  FolderTokenMap tokens;
  runFolderTokenHelper(u"C:\\no such folder\\tg.bin", tokens);
  runFolderTokenHelper(u"", tokens);
  EXPECT_TRUE(tokens.empty());
}
