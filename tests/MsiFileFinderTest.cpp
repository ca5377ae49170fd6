// The Windows Installer finder over a prefix whose system.reg lists products.
#include "finders/MsiFileFinder.h"

#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "platform/WindowsInstaller.h"
#include "validation/FileFilter.h"

#include "Fixtures.h"
#include "Requirements.h"
#include "TestPrefix.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

namespace {

constexpr char16_t kCode[] = u"{6F1D2C3B-4A59-4E68-B7A6-958473625140}";

std::vector<std::u16string> listPaths(MsiFileFinder& finder, FileFilter& filter) {
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

std::vector<std::u16string> listPaths(MsiFileFinder& finder) {
  CustomFileFilter filter;
  filter.addExtension(u".dll");
  return listPaths(finder, filter);
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
                       u"C:\\\u00fcber\\"); // Über, spelt "über" (a folder key path)
  machine.writeFile("\u00dcber/main.dll");
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  // The folders are found when the scan lists them.
  EXPECT_EQ(listPaths(finder).size(), 1u);
  EXPECT_EQ(finder.componentFolders.size(), 1u);
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

namespace {

constexpr char16_t kMain[] = u"{7D3E1A20-5B4C-4D6E-8F70-000000000001}";
constexpr char16_t kSettings[] = u"{7D3E1A20-5B4C-4D6E-8F70-000000000002}";
constexpr char16_t kPlugin[] = u"{7D3E1A20-5B4C-4D6E-8F70-000000000003}";

// Every path, whatever its extension.
class AcceptEverything : public FileFilter {
public:
  bool accept(const std::u16string& path) override { return !path.empty(); }
};

std::vector<std::u16string> everyPath(MsiFileFinder& finder) {
  AcceptEverything filter;
  return listPaths(finder, filter);
}

// Makes the msi-packages fixture's package the cached package of kCode, as
// C:\windows\Installer\<cachedName>.
void cachePackage(TestPrefix& machine, const std::string& package, const std::string& cachedName) {
  std::filesystem::path cached = machine.driveC("windows/Installer/" + cachedName);
  std::filesystem::create_directories(cached.parent_path());
  std::filesystem::copy_file(fixtures::folder("msi-packages") + "/" + package, cached);
  std::u16string name;
  utf8ToWide(cachedName, name);
  machine.addLocalPackage(kCode, u"C:\\windows\\Installer\\" + name);
}

bool packagesMade() {
  return std::filesystem::exists(fixtures::folder("msi-packages") + "/.stamp");
}
constexpr char kPackagesMissing[] = "the msi-packages fixture was not made (it needs wixl and msibuild)";

// A product recorded without a location, whose cached package is the
// msi-packages fixture's good.msi (or the given one), installed into
// C:\Apps\Reader: main.dll, settings.dll (a registry key path) and
// Plugins\plugin.dll, beside a neighbour's other.dll and Plugins\extra.dll.
void installReaderProduct(TestPrefix& machine, const std::string& package = "good.msi") {
  machine.addInstalledProduct(kCode, u"Reader", u"");
  cachePackage(machine, package, "5f2e.msi");
  machine.addComponent(kMain, kCode, u"C:\\Apps\\Reader\\main.dll");
  machine.addComponent(kSettings, kCode, u"02:\\Software\\Orvia\\ReaderTest\\Installed");
  machine.addComponent(kPlugin, kCode, u"C:\\Apps\\Reader\\Plugins\\plugin.dll");
  for (const char* file : {"main.dll", "settings.dll", "Plugins/plugin.dll", "other.dll",
                           "Plugins/extra.dll"})
    machine.writeFile(std::string("Apps/Reader/") + file);
}

} // namespace

TEST(MsiFileFinder, PackageListsExactlyTheFilesOfItsInstalledComponents) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  TestPrefix machine;
  installReaderProduct(machine);
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_TRUE(finder.isInstalled());
  // settings.dll lies in the folder of Main, its neighbour in INSTALLDIR.
  const std::vector<std::u16string> expected = {u"C:\\Apps\\Reader\\Plugins\\plugin.dll",
                                                u"C:\\Apps\\Reader\\main.dll",
                                                u"C:\\Apps\\Reader\\settings.dll"};
  EXPECT_EQ(everyPath(finder), expected);
  EXPECT_TRUE(finder.componentFolders.empty());

  // A component whose key file is gone is not installed any more.
  std::filesystem::remove(machine.driveC("Apps/Reader/Plugins/plugin.dll"));
  MsiFileFinder after(u"C:\\scratch", {}, kCode);
  EXPECT_EQ(everyPath(after), (std::vector<std::u16string>{u"C:\\Apps\\Reader\\main.dll",
                                                           u"C:\\Apps\\Reader\\settings.dll"}));
  // Excluded suffixes hold for the package's files too.
  MsiFileFinder excluding(u"C:\\scratch", {u"\\settings.dll"}, kCode);
  EXPECT_EQ(everyPath(excluding), std::vector<std::u16string>{u"C:\\Apps\\Reader\\main.dll"});
}

TEST(MsiFileFinder, HostilePackageNeverListsOutsideTheComponentsFolder) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  TestPrefix machine;
  machine.addInstalledProduct(kCode, u"Evil", u"");
  cachePackage(machine, "names.msi", "e71.msi");
  machine.addComponent(u"{11111111-2222-3333-4444-555555555551}", kCode, u"C:\\Apps\\Evil\\ok.dll");
  machine.addComponent(u"{11111111-2222-3333-4444-555555555552}", kCode, u"02:\\Software\\Evil\\a");
  machine.addComponent(u"{11111111-2222-3333-4444-555555555553}", kCode, u"02:\\Software\\Evil\\b");
  // Whatever a name could reach is there to be found: around the folder, and
  // inside it under the names a careless join would make.
  for (const char* file :
       {"Apps/Evil/ok.dll", "Apps/Evil/long name.dll", "Apps/Evil/reg.dll", "Apps/Evil/noid.dll",
        "Apps/Evil/lonely.dll", "Apps/Evil/orphan.dll", "Apps/evil.dll", "evil.dll",
        "Apps/Evil/sub/x.dll", "Apps/Evil/b|c.dll", "Apps/Evil/evil.dll:stream",
        "Apps/Evil/*.dll", "Apps/Evil/evil?.dll", "Apps/Evil/quote\".dll", "Apps/Evil/dots.dll.",
        "Apps/Evil/ ", "Apps/Evil/nul", "Apps/Evil/CON.dll", "Apps/Evil/lpt1", "Apps/Evil/..."})
    machine.writeFile(file);
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_EQ(everyPath(finder), (std::vector<std::u16string>{u"C:\\Apps\\Evil\\long name.dll",
                                                            u"C:\\Apps\\Evil\\ok.dll",
                                                            u"C:\\Apps\\Evil\\reg.dll"}));
}

TEST(MsiFileFinder, UnreadablePackageFallsBackToTheFoldersOfItsComponents) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  const std::vector<std::u16string> folders = {
      u"C:\\Apps\\Reader\\Plugins\\extra.dll", u"C:\\Apps\\Reader\\Plugins\\plugin.dll",
      u"C:\\Apps\\Reader\\main.dll", u"C:\\Apps\\Reader\\other.dll",
      u"C:\\Apps\\Reader\\settings.dll"};
  for (const char* package : {"truncated.msi", "crashing.msi", "types-file.msi", "garbage.msi"}) {
    SCOPED_TRACE(package);
    TestPrefix machine;
    installReaderProduct(machine, package);
    MsiFileFinder finder(u"C:\\scratch", {}, kCode);
    EXPECT_EQ(everyPath(finder), folders);
    EXPECT_EQ(finder.componentFolders.size(), 2u);
  }
  // The cached package deleted, made a named pipe, or not recorded at all.
  for (int damage = 0; damage < 3; ++damage) {
    SCOPED_TRACE(damage);
    TestPrefix machine;
    installReaderProduct(machine);
    std::filesystem::path cached = machine.driveC("windows/Installer/5f2e.msi");
    std::filesystem::remove(cached);
    if (damage == 1) {
      ASSERT_EQ(mkfifo(cached.c_str(), 0600), 0);
    }
    if (damage == 2)
      machine.addLocalPackage(kCode, u"");
    MsiFileFinder finder(u"C:\\scratch", {}, kCode);
    EXPECT_EQ(everyPath(finder), folders);
  }
}

TEST(MsiFileFinder, PreparingAsksNothingAboutComponentsTheScanAsksThePackages) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  TestPrefix machine;
  installReaderProduct(machine);
  // Other products' components: none of them is asked about.
  for (int other = 0; other < 50; ++other) {
    std::u16string code = u"{90000000-0000-0000-0000-0000000000" + std::u16string(1, u'0' + other / 10) +
                          std::u16string(1, u'0' + other % 10) + u"}";
    machine.addComponent(code, u"{6F1D2C3B-4A59-4E68-B7A6-958473625141}", u"C:\\Else\\x.dll");
  }
  std::uint64_t before = platform::msiComponentCallCount();
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_TRUE(finder.isInstalled());
  EXPECT_EQ(platform::msiComponentCallCount(), before);
  everyPath(finder);
  EXPECT_EQ(platform::msiComponentCallCount() - before, 3u); // the package's three components
}

TEST(MsiFileFinder, ComponentWhoseKeyFileIsGoneListsNothing) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  // Windows Installer counts such a component absent: its other files, and
  // those of a registry-keyed neighbour that would share its folder, are not
  // the product's any more, whatever lies on disk.
  TestPrefix machine;
  machine.addInstalledProduct(kCode, u"Evil", u"");
  cachePackage(machine, "names.msi", "e72.msi");
  machine.addComponent(u"{11111111-2222-3333-4444-555555555551}", kCode, u"C:\\Apps\\Evil\\ok.dll");
  machine.addComponent(u"{11111111-2222-3333-4444-555555555552}", kCode, u"02:\\Software\\Evil\\a");
  machine.writeFile("Apps/Evil/long name.dll");
  machine.writeFile("Apps/Evil/reg.dll");
  MsiFileFinder finder(u"C:\\scratch", {}, kCode);
  EXPECT_TRUE(everyPath(finder).empty());
}
