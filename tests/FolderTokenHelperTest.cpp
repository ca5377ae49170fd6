// The real folder-token helper: embedded, written into the session's scratch
// folder, run there, and its token.xml and log.
#include "config/FolderTokenHelper.h"
#include "config/XmlDocument.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "session/ScanContext.h"

#include "TestPrefix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string readHostFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::filesystem::path hostPath(const std::u16string& windowsPath) {
  return platform::toHostPath(windowsPath).value_or("/nonexistent");
}

// A machine with its own temporary folder, so the scratch folders and the
// helper's log land in the fixture.
struct Machine {
  explicit Machine(TestPrefix::Arch arch)
      : prefix(arch), temp(prefix.root / "tmp"),
        tmpdir("TMPDIR", (std::filesystem::create_directories(temp), temp.string())),
        user("USER", "tester") {}
  // The helper's log, in the user's own folder inside the temporary one.
  std::string log() const { return readHostFile(ownTemp() / "fennick-tg.log"); }
  std::filesystem::path ownTemp() const {
    return temp / ("fennick-" + std::to_string(geteuid()));
  }

  TestPrefix prefix;
  std::filesystem::path temp;
  ScopedEnvironment tmpdir;
  ScopedEnvironment user;
};

} // namespace

TEST(FolderTokenHelper, SixtyFourBitSessionGetsBothViewsFromTheHelperInItsScratchFolder) {
  Machine machine(TestPrefix::Arch::Win64);
  ScanContext context;
  ASSERT_FALSE(context.scratchFolder.empty());
  std::u16string helperPath;
  ASSERT_TRUE(writeFolderTokenHelper(context, helperPath));
  EXPECT_EQ(helperPath, context.scratchFolder + u"\\tg.bin");
  std::filesystem::path helperFile = hostPath(helperPath);
  std::span<const std::uint8_t> embedded = platform::findResource(platform::kResourceTokenHelper, 141);
  EXPECT_EQ(readHostFile(helperFile), std::string(embedded.begin(), embedded.end()));
  EXPECT_NE(std::filesystem::status(helperFile).permissions() & std::filesystem::perms::owner_exec,
            std::filesystem::perms::none);

  collectFolderTokens(context.folderTokens);
  runFolderTokenHelper(helperPath, context.folderTokens);
  const FolderTokenMap& tokens = context.folderTokens;
  EXPECT_EQ(tokens.size(), 16u + 17u);
  EXPECT_EQ(tokens.at(u"[ProgramFiles]"), u"C:\\Program Files (x86)");
  EXPECT_EQ(tokens.at(u"[Common]"), u"C:\\Program Files (x86)\\Common Files");
  EXPECT_EQ(tokens.at(u"[OrviaCommon]"), u"C:\\Program Files (x86)\\Common Files\\Orvia");
  EXPECT_EQ(tokens.at(u"[System32Folder]"), u"C:\\windows\\syswow64");
  EXPECT_EQ(tokens.at(u"[ProgramFiles64]"), u"C:\\Program Files");
  EXPECT_EQ(tokens.at(u"[Common64]"), u"C:\\Program Files\\Common Files");
  EXPECT_EQ(tokens.at(u"[OrviaProgramFiles64]"), u"C:\\Program Files\\Orvia");
  EXPECT_EQ(tokens.at(u"[OrviaCommon64]"), u"C:\\Program Files\\Common Files\\Orvia");
  EXPECT_EQ(tokens.at(u"[Utilities64]"), tokens.at(u"[OrviaCommon64]"));
  EXPECT_EQ(tokens.at(u"[System32Folder64]"), u"C:\\windows\\system32");
  EXPECT_EQ(tokens.at(u"[UserHome64]"), u"C:\\users\\tester");
  EXPECT_EQ(tokens.at(u"[UserLocalAppData64]"), u"C:\\users\\tester\\AppData\\Local");

  // token.xml lies next to tg.bin, its children in the helper's order.
  XmlDocumentPtr document;
  ASSERT_TRUE(loadXmlFile(context.scratchFolder + u"\\token.xml", document));
  std::optional<XmlNodeList> children;
  long count = 0;
  ASSERT_TRUE(selectXPath(document, u"/win64/*", children, count));
  std::vector<std::u16string> names;
  for (long i = 0; i < count; ++i)
    names.push_back(nodeName(*elementAt(children, i)));
  EXPECT_EQ(names, (std::vector<std::u16string>{
                       u"OrviaProgramFiles", u"OrviaCommon", u"Utilities", u"Common",
                       u"ProgramFiles", u"SharedApplicationData", u"SharedDocuments",
                       u"FontsFolder", u"StartMenu", u"System32Folder", u"UserDocuments",
                       u"UserRoamingAppData", u"UserLocalAppData", u"UserHome",
                       u"UserFavorites", u"UserPictures", u"UserTemplates"}));
  EXPECT_NE(machine.log().find(" INFO tg: token.xml is created succesfully\n"), std::string::npos);
}

TEST(FolderTokenHelper, ThirtyTwoBitSessionHasOnlyTheSixteenTokens) {
  Machine machine(TestPrefix::Arch::Win32);
  ScanContext context;
  std::u16string helperPath;
  ASSERT_TRUE(writeFolderTokenHelper(context, helperPath));
  collectFolderTokens(context.folderTokens);
  runFolderTokenHelper(helperPath, context.folderTokens);
  EXPECT_EQ(context.folderTokens.size(), 16u);
  EXPECT_EQ(context.folderTokens.at(u"[System32Folder]"), u"C:\\windows\\system32");
  EXPECT_FALSE(std::filesystem::exists(hostPath(context.scratchFolder + u"\\token.xml")));
}

TEST(FolderTokenHelper, NoScratchFolderMeansNothingIsWritten) {
  TestPrefix prefix(TestPrefix::Arch::Win64);
  ScopedEnvironment tmpdir("TMPDIR", "/dev/null/cannot-exist");
  ScanContext context;
  ASSERT_TRUE(context.scratchFolder.empty());
  std::u16string helperPath = u"stale";
  EXPECT_FALSE(writeFolderTokenHelper(context, helperPath));
  EXPECT_EQ(helperPath, u"");
  runFolderTokenHelper(helperPath, context.folderTokens);
  EXPECT_TRUE(context.folderTokens.empty());
  EXPECT_FALSE(std::filesystem::exists(prefix.driveC() / "tg.bin"));
  EXPECT_FALSE(std::filesystem::exists(prefix.driveC() / "token.xml"));
}

TEST(FolderTokenHelper, HelperLogsWhyItFails) {
  Machine machine(TestPrefix::Arch::Win64);
  ScanContext context;
  std::u16string helperPath;
  ASSERT_TRUE(writeFolderTokenHelper(context, helperPath));

  int exitCode = 0;
  platform::ChildProcess bare;
  ASSERT_TRUE(bare.start(helperPath, u""));
  ASSERT_TRUE(bare.wait(&exitCode));
  EXPECT_EQ(exitCode, 255); // -1
  EXPECT_NE(machine.log().find(" ERROR tg: Insufficient arguments\n"), std::string::npos);

  platform::ChildProcess unwritable;
  ASSERT_TRUE(unwritable.start(helperPath, u"ignored \"Q:\\no drive\\token.xml\""));
  ASSERT_TRUE(unwritable.wait(&exitCode));
  EXPECT_EQ(exitCode, 255);
  EXPECT_NE(machine.log().find(" ERROR tg: Failed to write xml at path :Q:\\no drive\\token.xml\n"),
            std::string::npos);
  EXPECT_EQ(machine.log().find("created succesfully"), std::string::npos);
}

TEST(FolderTokenHelper, HelperLogsOnlyIntoTheUsersOwnFolderAndNeverThroughALink) {
  Machine machine(TestPrefix::Arch::Win64);
  ScanContext context;
  std::u16string helperPath;
  ASSERT_TRUE(writeFolderTokenHelper(context, helperPath));
  // Planted by another user: a file under the log's old name in the shared
  // folder, and a link in the log's place that leads to it.
  const std::filesystem::path victim = machine.temp / "fennick-tg.log";
  std::ofstream(victim) << "someone else's";
  if (geteuid() == 0) {
    ASSERT_EQ(chown(victim.c_str(), 65534, 65534), 0);
  }
  std::filesystem::create_symlink(victim, machine.ownTemp() / "fennick-tg.log");
  auto runBare = [&] {
    platform::ChildProcess bare;
    int exitCode = 0;
    ASSERT_TRUE(bare.start(helperPath, u""));
    ASSERT_TRUE(bare.wait(&exitCode));
    EXPECT_EQ(exitCode, 255);
  };
  runBare();
  EXPECT_EQ(readHostFile(victim), "someone else's");
  EXPECT_TRUE(std::filesystem::is_symlink(machine.ownTemp() / "fennick-tg.log"));

  std::filesystem::remove(machine.ownTemp() / "fennick-tg.log");
  runBare();
  EXPECT_EQ(readHostFile(victim), "someone else's");
  EXPECT_NE(machine.log().find(" ERROR tg: Insufficient arguments\n"), std::string::npos);
}
