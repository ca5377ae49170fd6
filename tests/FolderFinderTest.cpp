// The folder finder: which files a walk lists, in which order, and what it
// never does (enter excluded folders, loop through links).
#include "finders/FolderFinder.h"
#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "TestPrefix.h"
#include "validation/FileFilter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace {

CustomFileFilter dllAndExeFilter() {
  CustomFileFilter filter;
  filter.addExtension(u".dll");
  filter.addExtension(u".exe");
  return filter;
}

std::vector<std::u16string> listPaths(FolderFinder& finder, FileFilter& filter) {
  std::vector<FileValueObject*> files;
  finder.findFiles(filter, files);
  std::vector<std::u16string> paths;
  for (FileValueObject* file : files)
    paths.push_back(file->path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

} // namespace

TEST(FolderFinder, ListsAcceptedFilesWithTheirProduct) {
  TestPrefix prefix;
  prefix.writeFile("App/main.EXE");
  prefix.writeFile("App/readme.txt");
  prefix.writeFile("App/lib/core.dll");
  prefix.writeFile("App/plugins.dll/inner.txt"); // a folder named like a library
  FolderFinder finder(u"", {}, u"My App");
  finder.addFolder(u"C:\\App");
  CustomFileFilter filter = dllAndExeFilter();
  std::vector<FileValueObject*> files;
  ASSERT_TRUE(finder.findFiles(filter, files));
  ASSERT_EQ(files.size(), 2u);
  for (FileValueObject* file : files) {
    EXPECT_EQ(file->product, finder.product.get());
    EXPECT_EQ(file->product->displayName, u"My App");
  }
  EXPECT_EQ(listPaths(finder, filter),
            (std::vector<std::u16string>{u"C:\\App\\lib\\core.dll", u"C:\\App\\main.EXE"}));
  EXPECT_EQ(finder.valueObjects.size(), 4u); // two walks, two entries each
}

TEST(FolderFinder, InstalledWhenAnyFolderExists) {
  TestPrefix prefix;
  FolderFinder finder(u"", {}, u"P");
  finder.addFolder(u"C:\\Missing");
  EXPECT_FALSE(finder.isInstalled());
  CustomFileFilter filter = dllAndExeFilter();
  EXPECT_TRUE(listPaths(finder, filter).empty());
  fs::create_directories(prefix.driveC("Present"));
  finder.addFolder(u"C:\\Present");
  EXPECT_TRUE(finder.isInstalled());
}

TEST(FolderFinder, FoldersDifferingInCaseAreBothWalkedAndNestedOnesTwice) {
  TestPrefix prefix;
  prefix.writeFile("Suite/a.dll");
  prefix.writeFile("Suite/Sub/b.dll");
  FolderFinder finder(u"", {}, u"P");
  finder.addFolder(u"C:\\Suite");
  finder.addFolder(u"C:\\SUITE");
  finder.addFolder(u"C:\\Suite");
  finder.addFolder(u"C:\\Suite\\Sub");
  EXPECT_EQ(finder.folders.size(), 3u);
  CustomFileFilter filter = dllAndExeFilter();
  EXPECT_EQ(listPaths(finder, filter),
            (std::vector<std::u16string>{u"C:\\SUITE\\Sub\\b.dll", u"C:\\SUITE\\a.dll",
                                         u"C:\\Suite\\Sub\\b.dll", u"C:\\Suite\\Sub\\b.dll",
                                         u"C:\\Suite\\a.dll"}));
}

TEST(FolderFinder, ExcludedSuffixesSkipEntriesButNeverTheConfiguredFolder) {
  TestPrefix prefix;
  prefix.writeFile("Suite/a.dll");
  prefix.writeFile("Suite/Backup/old.dll");
  prefix.writeFile("MyApp/Cache/c.dll");
  prefix.writeFile("Suite/skip.exe");
  FolderFinder finder(u"", {u"suite\\backup", u"App\\Cache", u"SKIP.EXE"}, u"P");
  finder.addFolder(u"C:\\Suite");
  finder.addFolder(u"C:\\Suite\\Backup");
  finder.addFolder(u"C:\\MyApp");
  CustomFileFilter filter = dllAndExeFilter();
  EXPECT_EQ(listPaths(finder, filter),
            (std::vector<std::u16string>{u"C:\\Suite\\Backup\\old.dll", u"C:\\Suite\\a.dll"}));
}

TEST(FolderFinder, EmptySuffixExcludesEverything) {
  TestPrefix prefix;
  prefix.writeFile("App/a.dll");
  FolderFinder finder(u"", {u""}, u"P");
  finder.addFolder(u"C:\\App");
  CustomFileFilter filter = dllAndExeFilter();
  EXPECT_TRUE(listPaths(finder, filter).empty());
}

TEST(FolderFinder, TrailingBackslashDoublesTheSeparator) {
  TestPrefix prefix;
  prefix.writeFile("X/file.dll");
  FolderFinder finder(u"", {}, u"P");
  finder.addFolder(u"C:\\X\\");
  CustomFileFilter filter = dllAndExeFilter();
  EXPECT_EQ(listPaths(finder, filter), (std::vector<std::u16string>{u"C:\\X\\\\file.dll"}));
}

TEST(FolderFinder, LinksAreWalkedButCyclesAreNot) {
  TestPrefix prefix;
  prefix.writeFile("App/a.dll");
  prefix.writeFile("Shared/s.dll");
  fs::create_directory_symlink(prefix.driveC("Shared"), prefix.driveC("App/shared"));
  fs::create_directory_symlink(prefix.driveC("App"), prefix.driveC("App/loop"));
  fs::create_directory_symlink(prefix.driveC("App"), prefix.driveC("Shared/back"));
  FolderFinder finder(u"", {}, u"P");
  finder.addFolder(u"C:\\App");
  CustomFileFilter filter = dllAndExeFilter();
  EXPECT_EQ(listPaths(finder, filter),
            (std::vector<std::u16string>{u"C:\\App\\a.dll", u"C:\\App\\shared\\s.dll"}));
}

TEST(FolderFinder, UnknownOrSharedFolderIdentitiesNeverHideASubfolder) {
  using platform::FileIdentity;
  using platform::FindData;
  const std::vector<FileIdentity> path{{7, 100}, {7, 200}};
  FindData folder;
  folder.isDirectory = true;
  // An index of 0 (or an identity that could not be read) is unknown: the
  // folder is entered, even where folders above it gave 0 as well.
  folder.identity = {};
  EXPECT_TRUE(FolderFinder::entersFolder(folder, {}, 1));
  EXPECT_TRUE(FolderFinder::entersFolder(folder, path, 5));
  folder.identity = {7, 0};
  EXPECT_TRUE(FolderFinder::entersFolder(folder, {{7, 0}}, 2));
  // A plain folder that shares its index with a folder above it (a network
  // share whose indexes are not unique) cannot be that folder.
  folder.identity = {7, 100};
  EXPECT_TRUE(FolderFinder::entersFolder(folder, path, 3));
  // A link back to a folder on the path is a cycle; an unknown link is not.
  FindData link = folder;
  link.isLink = true;
  EXPECT_FALSE(FolderFinder::entersFolder(link, path, 3));
  link.identity = {7, 300};
  EXPECT_TRUE(FolderFinder::entersFolder(link, path, 3));
  link.identity = {};
  EXPECT_TRUE(FolderFinder::entersFolder(link, {{0, 0}}, 3));
  // The depth bound holds for every folder.
  folder.identity = {};
  EXPECT_TRUE(FolderFinder::entersFolder(folder, path, FolderFinder::kMaxWalkDepth - 1));
  EXPECT_FALSE(FolderFinder::entersFolder(folder, path, FolderFinder::kMaxWalkDepth));
}

TEST(FolderFinder, DepthIsBounded) {
  TestPrefix prefix;
  std::string deep = "Deep";
  for (int i = 0; i < FolderFinder::kMaxWalkDepth + 5; ++i)
    deep += "/d";
  prefix.writeFile(deep + "/far.dll");
  prefix.writeFile("Deep/near.dll");
  FolderFinder finder(u"", {}, u"P");
  finder.addFolder(u"C:\\Deep");
  CustomFileFilter filter = dllAndExeFilter();
  EXPECT_EQ(listPaths(finder, filter), (std::vector<std::u16string>{u"C:\\Deep\\near.dll"}));
}

TEST(FolderFinder, WalkEndsExactlyAtItsDepthBound) {
  // A file at every level: the configured folder is level 0, and the walk
  // lists the levels below it up to kMaxWalkDepth - 1, not one more or less.
  TestPrefix prefix;
  std::string level = "Deep";
  std::u16string deepestListed = u"C:\\Deep";
  for (int depth = 0; depth <= FolderFinder::kMaxWalkDepth + 1; ++depth) {
    prefix.writeFile(level + "/f.dll");
    if (depth < FolderFinder::kMaxWalkDepth - 1)
      deepestListed += u"\\d";
    level += "/d";
  }
  FolderFinder finder(u"", {}, u"P");
  finder.addFolder(u"C:\\Deep");
  CustomFileFilter filter = dllAndExeFilter();
  std::vector<std::u16string> paths = listPaths(finder, filter);
  EXPECT_EQ(paths.size(), std::size_t(FolderFinder::kMaxWalkDepth));
  EXPECT_NE(std::find(paths.begin(), paths.end(), deepestListed + u"\\f.dll"), paths.end());
}
