// The Windows Installer finder over a prefix whose system.reg lists products.
#include "finders/MsiFileFinder.h"

#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "validation/FileFilter.h"

#include "TestPrefix.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr char16_t kCode[] = u"{6F1D2C3B-4A59-4E68-B7A6-958473625140}";

std::vector<std::u16string> listPaths(MsiFileFinder& finder) {
  CustomFileFilter filter;
  filter.addExtension(u".dll");
  std::vector<FileValueObject*> files;
  EXPECT_TRUE(finder.findFiles(filter, files));
  std::vector<std::u16string> paths;
  for (FileValueObject* file : files) {
    EXPECT_NE(dynamic_cast<MsiFileValueObject*>(file), nullptr);
    EXPECT_EQ(file->product, finder.product.get());
    paths.push_back(file->path);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

} // namespace

TEST(MsiFileFinder, UnknownProductDependsOnItsConfiguredFolders) {
  TestPrefix machine;
  machine.writeFile("Tools/Sketch/core.dll", "x");
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_FALSE(finder.msiInstalled);
  EXPECT_EQ(finder.product->id, "{6F1D2C3B-4A59-4E68-B7A6-958473625140}");
  EXPECT_EQ(finder.product->kind, kProductKindMsi);
  EXPECT_EQ(finder.record().installLocation, u"");
  EXPECT_EQ(finder.product->displayName, u"");
  EXPECT_TRUE(finder.folders.empty());
  EXPECT_FALSE(finder.isInstalled());
  EXPECT_TRUE(listPaths(finder).empty());

  finder.addFolder(u"C:\\Missing");
  EXPECT_FALSE(finder.isInstalled());
  finder.addFolder(u"C:\\Tools\\Sketch");
  EXPECT_TRUE(finder.isInstalled());
  EXPECT_EQ(listPaths(finder), (std::vector<std::u16string>{u"C:\\Tools\\Sketch\\core.dll"}));
}

TEST(MsiFileFinder, KnownProductWalksItsLocationAndTheConfiguredFolders) {
  TestPrefix machine;
  machine.addInstalledProduct(kCode, u"Orvia Sketch Studio", u"C:\\Apps\\Sketch");
  machine.writeFile("Apps/Sketch/main.dll", "x");
  machine.writeFile("Apps/Sketch/Sub/plug.dll", "x");
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_TRUE(finder.msiInstalled);
  EXPECT_TRUE(finder.isInstalled());
  EXPECT_EQ(finder.record().installLocation, u"C:\\Apps\\Sketch");
  EXPECT_EQ(finder.product->displayName, u"Orvia Sketch Studio");
  finder.addFolder(u"C:\\Apps\\Sketch\\Sub");
  // The nested folder is walked twice: once on its own, once inside the location.
  EXPECT_EQ(listPaths(finder), (std::vector<std::u16string>{u"C:\\Apps\\Sketch\\Sub\\plug.dll",
                                                            u"C:\\Apps\\Sketch\\Sub\\plug.dll",
                                                            u"C:\\Apps\\Sketch\\main.dll"}));
}

TEST(MsiFileFinder, ProductWithoutLocationValueIsKnownButNamesNoFolder) {
  TestPrefix machine;
  machine.addInstalledProduct(kCode, std::nullopt, std::nullopt);
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_TRUE(finder.msiInstalled);
  EXPECT_EQ(finder.product->displayName, u"");
  // No location and no component: nothing to walk, least of all a drive root.
  EXPECT_TRUE(finder.folders.empty());
  EXPECT_TRUE(finder.componentFolders.empty());
}

TEST(MsiFileFinder, EmptyLocationNeverWalksTheRootOfTheCurrentDrive) {
  TestPrefix machine;
  machine.addInstalledProduct(kCode, u"Rooted", u"");
  machine.writeFile("top.dll", "x");
  machine.writeFile("deep/inner.dll", "x");
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_TRUE(finder.isInstalled());
  ASSERT_TRUE(finder.folders.empty());
  EXPECT_TRUE(listPaths(finder).empty());
}

namespace {

// A product whose recorded location is not walked lists the folders of its
// components only. "<prefix>" in the location stands for the prefix folder
// as a Windows path.
void expectOnlyComponentFoldersListed(std::u16string location) {
  SCOPED_TRACE(TestPrefix::utf8(location));
  TestPrefix machine;
  if (location.rfind(u"<prefix>", 0) == 0)
    location.replace(0, 8, platform::toWindowsPath(machine.root.string()));
  machine.addInstalledProduct(kCode, u"Sketch", location);
  machine.addComponent(u"{10000000-0000-0000-0000-000000000001}", kCode,
                       u"C:\\Apps\\Sketch\\main.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000002}", kCode,
                       u"C:\\apps\\sketch\\"); // the same folder, spelt otherwise
  machine.addComponent(u"{10000000-0000-0000-0000-000000000003}", kCode, u"C:\\root.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000004}", kCode,
                       u"C:\\Apps\\..\\up.dll"); // a drive root, spelt otherwise
  machine.writeFile("Apps/Sketch/main.dll");
  machine.writeFile("Apps/Sketch/Sub/sub.dll");
  machine.writeFile("root.dll");
  machine.writeFile("up.dll");
  machine.makeFolder("Links");
  std::filesystem::create_directory_symlink(machine.driveC(), machine.driveC("Links/Root"));
  std::filesystem::create_directory_symlink(machine.root, machine.driveC("Links/Prefix"));
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_TRUE(finder.isInstalled());
  // Fatal: a walk of the prefix would go on through drive Z: to the host.
  ASSERT_TRUE(finder.folders.empty());
  EXPECT_EQ(listPaths(finder), (std::vector<std::u16string>{u"C:\\Apps\\Sketch\\main.dll"}));
}

} // namespace

TEST(MsiFileFinder, UnusableLocationListsOnlyTheFoldersOfItsComponents) {
  // Relative, missing, a bare drive, spellings that normalise to a drive
  // root, links that lead to one or to the prefix, folders that hold the
  // prefix: none is walked, least of all a drive root.
  for (const char16_t* location :
       {u"Apps\\Sketch", u"C:\\Apps\\Gone", u"C:\\", u"C:", u"C:\\\\", u"C:\\..", u"C:\\.",
        u"C:\\Apps\\..", u"C:\\Apps\\..\\..", u"C:/Apps/..", u"C:\\Links\\Root",
        u"C:\\Links\\Root\\", u"C:\\Links\\Prefix", u"<prefix>", u"<prefix>\\..", u"Z:\\"})
    expectOnlyComponentFoldersListed(location);
}

TEST(MsiFileFinder, ComponentFoldersFoldingAlikeAreListedOnce) {
  TestPrefix machine;
  machine.addInstalledProduct(kCode, u"\u00dcber", u"");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000001}", kCode,
                       u"C:\\\u00dcber\\main.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000002}", kCode,
                       u"C:\\\u00fcber\\helper.dll"); // Über, spelt "über"
  machine.writeFile("\u00dcber/main.dll");
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_EQ(finder.componentFolders.size(), 1u);
  EXPECT_EQ(listPaths(finder).size(), 1u);
}

TEST(MsiFileFinder, LocationSpeltWithDotsIsWalkedAsRecorded) {
  TestPrefix machine;
  const std::u16string location = u"C:\\Apps\\.\\Old\\..\\Sketch\\";
  machine.addInstalledProduct(kCode, u"Sketch", location);
  machine.writeFile("Apps/Sketch/main.dll");
  machine.writeFile("Apps/Old/old.dll");
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_EQ(finder.folders, (std::set<std::u16string>{location}));
  EXPECT_EQ(listPaths(finder), (std::vector<std::u16string>{location + u"\\main.dll"}));
}

TEST(MsiFileFinder, LocationThatDoesNotFitCountsAsUnknown) {
  TestPrefix machine;
  std::u16string location = u"C:\\" + std::u16string(257, u'l'); // 260 units
  machine.addInstalledProduct(kCode, u"Too deep", location);
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_FALSE(finder.msiInstalled);
  EXPECT_FALSE(finder.isInstalled());
  EXPECT_EQ(finder.record().installLocation, u"");
  EXPECT_EQ(finder.product->displayName, u"");
  EXPECT_TRUE(finder.folders.empty());
}

TEST(MsiFileFinder, CodeIsPassedOnAsConfigured) {
  TestPrefix machine;
  machine.addInstalledProduct(kCode, u"Any case", u"C:\\Apps");
  MsiFileFinder lower(u"", {}, u"{6f1d2c3b-4a59-4e68-b7a6-958473625140}");
  EXPECT_TRUE(lower.msiInstalled);
  EXPECT_EQ(lower.product->id, "{6f1d2c3b-4a59-4e68-b7a6-958473625140}");
  MsiFileFinder bare(u"", {}, u"6F1D2C3B-4A59-4E68-B7A6-958473625140");
  EXPECT_FALSE(bare.msiInstalled);
}
