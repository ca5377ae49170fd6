// The session's scratch folder: a fresh GUID-named folder under the
// temporary folder, removed whole, links removed and never followed.
#include "platform/Files.h"
#include "platform/WindowsNamespace.h"
#include "session/ScanContext.h"
#include "session/ScratchFolder.h"
#include "TestPrefix.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace fs = std::filesystem;

TEST(ScratchFolder, ContextsMakeDistinctFoldersAndRemoveThem) {
  TestPrefix prefix;
  std::u16string first, second;
  {
    ScanContext a;
    ScanContext b;
    first = a.scratchFolder;
    second = b.scratchFolder;
    ASSERT_EQ(first.size(), platform::getTempPath().size() + 38);
    EXPECT_EQ(first.substr(0, platform::getTempPath().size()), platform::getTempPath());
    EXPECT_NE(first, second);
    EXPECT_TRUE(platform::pathIsDirectory(first));
    const std::uint8_t bytes[] = {1, 2, 3};
    platform::shCreateDirectoryEx(first + u"\\icons\\deep");
    platform::WriteHandle(first + u"\\icons\\deep\\x.png").write(bytes);
    platform::WriteHandle(first + u"\\Defects.log").write(bytes);
  }
  EXPECT_FALSE(platform::pathFileExists(first));
  EXPECT_FALSE(platform::pathFileExists(second));
}

TEST(ScratchFolder, WithoutATemporaryFolderNoneIsMadeAtADriveRoot) {
  TestPrefix prefix;
  // The user's folder inside the temporary one is a link someone planted.
  fs::create_directories(prefix.root / "tmp");
  fs::create_directory_symlink(prefix.driveC(),
                               prefix.root / "tmp" / ("fennick-" + std::to_string(geteuid())));
  ScopedEnvironment tmpdir("TMPDIR", (prefix.root / "tmp").string());
  ScanContext context;
  EXPECT_EQ(context.scratchFolder, u"");
  EXPECT_TRUE(fs::is_empty(prefix.driveC()));
}

TEST(ScratchFolder, RemovalDeletesLinksButNotWhatTheyPointAt) {
  TestPrefix prefix;
  prefix.writeFile("precious/data.txt", "keep me");
  prefix.writeFile("scratch/a/b.txt");
  fs::create_directory_symlink(prefix.driveC("precious"), prefix.driveC("scratch/a/dirlink"));
  fs::create_symlink(prefix.driveC("precious/data.txt"), prefix.driveC("scratch/filelink"));
  fs::create_symlink(prefix.driveC("nowhere"), prefix.driveC("scratch/dangling"));
  EXPECT_TRUE(removeFolderTree(u"C:\\scratch"));
  EXPECT_FALSE(fs::exists(prefix.driveC("scratch")));
  EXPECT_TRUE(fs::exists(prefix.driveC("precious/data.txt")));
}

TEST(ScratchFolder, ReadOnlyFileLeavesEveryFolderAndReportsFalse) {
  TestPrefix prefix;
  prefix.writeFile("tree/sub/locked.txt");
  prefix.writeFile("tree/sub/other.txt");
  fs::permissions(prefix.driveC("tree/sub/locked.txt"), fs::perms::owner_write,
                  fs::perm_options::remove);
  EXPECT_FALSE(removeFolderTree(u"C:\\tree"));
  EXPECT_TRUE(fs::exists(prefix.driveC("tree/sub/locked.txt")));
  EXPECT_TRUE(fs::is_directory(prefix.driveC("tree/sub")));
}

TEST(ScratchFolder, RemovingAFileOrNothingFails) {
  TestPrefix prefix;
  prefix.writeFile("file.txt");
  EXPECT_FALSE(removeFolderTree(u"C:\\file.txt"));
  EXPECT_FALSE(removeFolderTree(u"C:\\missing"));
  EXPECT_TRUE(fs::exists(prefix.driveC("file.txt")));
}

TEST(ScratchFolder, TemporaryFolderThatIsAFileLeavesThePathEmpty) {
  TestPrefix prefix;
  prefix.writeFile("notafolder");
  std::string tmp = prefix.driveC("notafolder").string();
  setenv("TMPDIR", tmp.c_str(), 1);
  std::u16string folder = u"untouched";
  bool made = createScratchFolder(folder);
  unsetenv("TMPDIR");
  EXPECT_FALSE(made);
  EXPECT_EQ(folder, u"untouched");
}
