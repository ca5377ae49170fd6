// The Windows Installer finder over a prefix whose system.reg lists products.
#include "finders/MsiFileFinder.h"

#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "validation/FileFilter.h"

#include "TestPrefix.h"

#include <gtest/gtest.h>

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

namespace {

// A product laid out as Windows Installer records it: a file component in
// the product folder, one in a subfolder, a folder component, a registry
// component, and a component shared with another product in a suite folder
// whose other subfolder belongs to that product only.
void installComponents(TestPrefix& machine, const std::u16string& location) {
  constexpr char16_t kOther[] = u"{0F1E2D3C-4B5A-4978-8695-A4B3C2D1E0F9}";
  machine.addInstalledProduct(kCode, u"Sketch", location);
  machine.addInstalledProduct(kOther, u"Other", u"");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000001}", kCode,
                       u"C:\\Apps\\Sketch\\main.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000002}", kCode,
                       u"C:\\Apps\\Sketch\\Plugins\\plug.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000003}", kCode,
                       u"C:\\apps\\sketch\\"); // the product folder, spelt otherwise
  machine.addComponent(u"{10000000-0000-0000-0000-000000000004}", kCode,
                       u"02:\\Software\\Orvia\\Sketch\\Installed");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000005}", kCode,
                       u"C:\\Suite\\shared.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000005}", kOther,
                       u"C:\\Suite\\shared.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000006}", kOther,
                       u"C:\\Suite\\Other\\other.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000007}", kCode, u"C:\\root.dll");
  machine.addComponent(u"{10000000-0000-0000-0000-000000000008}", kCode, u"relative\\x.dll");
  machine.writeFile("Apps/Sketch/main.dll");
  machine.writeFile("Apps/Sketch/extra.dll");
  machine.writeFile("Apps/Sketch/Plugins/plug.dll");
  machine.writeFile("Apps/Sketch/Plugins/Cache/cached.dll");
  machine.writeFile("Apps/Sketch/Backup/old.dll");
  machine.writeFile("Suite/shared.dll");
  machine.writeFile("Suite/Other/other.dll");
  machine.writeFile("root.dll");
}

} // namespace

TEST(MsiFileFinder, UnusableLocationListsTheFoldersOfTheProductsComponentsOnly) {
  // Empty as most packages leave it, unformatted, relative, missing, a bare
  // drive: none of them is walked, least of all the drive root.
  for (std::u16string location :
       {u"", u"[INSTALLDIR]", u"Apps\\Sketch", u"C:\\Apps\\Gone", u"C:\\", u"C:"}) {
    SCOPED_TRACE(TestPrefix::utf8(location));
    TestPrefix machine;
    installComponents(machine, location);
    MsiFileFinder finder(u"C:\\scratch", {}, kCode);
    EXPECT_TRUE(finder.msiInstalled);
    EXPECT_TRUE(finder.isInstalled());
    EXPECT_EQ(finder.record().installLocation, location);
    EXPECT_TRUE(finder.folders.empty());
    // Each folder once, its own files only, no subfolder that no component
    // names (Cache, Backup), nothing of the other product's folder.
    EXPECT_EQ(listPaths(finder), (std::vector<std::u16string>{
                                     u"C:\\Apps\\Sketch\\Plugins\\plug.dll",
                                     u"C:\\Apps\\Sketch\\extra.dll",
                                     u"C:\\Apps\\Sketch\\main.dll",
                                     u"C:\\Suite\\shared.dll",
                                 }));
  }
}

TEST(MsiFileFinder, UsableLocationIsWalkedWholeAndComponentsAreNotAsked) {
  TestPrefix machine;
  installComponents(machine, u"C:\\Apps\\Sketch");
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_EQ(finder.folders, (std::set<std::u16string>{u"C:\\Apps\\Sketch"}));
  EXPECT_TRUE(finder.componentFolders.empty());
  EXPECT_EQ(listPaths(finder), (std::vector<std::u16string>{
                                   u"C:\\Apps\\Sketch\\Backup\\old.dll",
                                   u"C:\\Apps\\Sketch\\Plugins\\Cache\\cached.dll",
                                   u"C:\\Apps\\Sketch\\Plugins\\plug.dll",
                                   u"C:\\Apps\\Sketch\\extra.dll",
                                   u"C:\\Apps\\Sketch\\main.dll",
                               }));
}

TEST(MsiFileFinder, ComponentFoldersKeepTheExcludedSuffixes) {
  TestPrefix machine;
  installComponents(machine, u"");
  MsiFileFinder finder(u"C:\\scratch", {u"\\extra.dll", u"\\Plugins"}, kCode);
  // The suffix of a folder is tested against files only: the listing enters
  // no folder, so Plugins\plug.dll stays.
  EXPECT_EQ(listPaths(finder), (std::vector<std::u16string>{
                                   u"C:\\Apps\\Sketch\\Plugins\\plug.dll",
                                   u"C:\\Apps\\Sketch\\main.dll",
                                   u"C:\\Suite\\shared.dll",
                               }));
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
