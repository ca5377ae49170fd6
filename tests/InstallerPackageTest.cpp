// Windows Installer packages read as the finder reads a product's cached
// package: the rows of the Component and File tables exactly as stored, and
// no rows at all from a package that is damaged or of the wrong shape.
#include "platform/InstallerPackage.h"

#include "util/Text.h"

#include "Fixtures.h"
#include "Requirements.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

using platform::InstallerPackage;
using platform::PackageComponent;
using platform::PackageFile;

namespace {

// A package of the msi-packages fixture by its Windows path: through drive
// Z:, which maps the root of the file system the fixtures lie on, here and
// under Wine alike.
std::u16string packagePath(const std::string& name) {
  std::u16string path;
  utf8ToWide(fixtures::folder("msi-packages") + "/" + name, path);
  if (!path.empty() && path[0] == u'/')
    path = u"Z:" + path;
  std::replace(path.begin(), path.end(), u'/', u'\\');
  return path;
}

bool packagesMade() {
  std::ifstream stamp(fixtures::folder("msi-packages") + "/.stamp");
  return stamp.good();
}
constexpr char kPackagesMissing[] = "the msi-packages fixture was not made (it needs wixl and msibuild)";

std::string narrow(const std::u16string& text) {
  std::string out;
  wideToUtf8(text, out);
  return out;
}

} // namespace

TEST(InstallerPackage, ComponentAndFileRowsAsStored) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  InstallerPackage package;
  ASSERT_TRUE(platform::readInstallerPackage(packagePath("good.msi"), package));
  EXPECT_EQ(package.components,
            (std::vector<PackageComponent>{
                {u"Main", u"{7D3E1A20-5B4C-4D6E-8F70-000000000001}", u"INSTALLDIR"},
                {u"Settings", u"{7D3E1A20-5B4C-4D6E-8F70-000000000002}", u"INSTALLDIR"},
                {u"Plugin", u"{7D3E1A20-5B4C-4D6E-8F70-000000000003}", u"PLUGINS"}}));
  EXPECT_EQ(package.files, (std::vector<PackageFile>{{u"Main", u"main.dll"},
                                                     {u"Settings", u"SETTIN~1.DLL|settings.dll"},
                                                     {u"Plugin", u"plugin.dll"}}));
}

TEST(InstallerPackage, HostileNamesComeBackAsStored) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  // Judging names is the finder's part; the reader hands on what is there.
  InstallerPackage package;
  ASSERT_TRUE(platform::readInstallerPackage(packagePath("names.msi"), package));
  ASSERT_EQ(package.components.size(), 4u);
  EXPECT_EQ(package.components[3], (PackageComponent{u"NoId", u"", u"INSTALLDIR"}));
  auto named = [&](const std::u16string& name) {
    return std::count(package.files.begin(), package.files.end(), PackageFile{u"Main", name});
  };
  for (const char16_t* name : {u"..\\evil.dll", u"../evil.dll", u"EVIL~1.DLL|..\\evil.dll",
                               u"a|b|c.dll", u"C:evil.dll", u"quote\".dll"})
    EXPECT_EQ(named(name), 1) << narrow(name);
  EXPECT_EQ(package.files.back(), (PackageFile{u"Nobody", u"orphan.dll"}));
}

TEST(InstallerPackage, DamagedOrMisshapenPackagesGiveNoRows) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  const InstallerPackage untouched{{{u"kept", u"", u""}}, {{u"kept", u"kept.dll"}}};
  // "" names the fixture's folder.
  for (const char* name : {"truncated.msi", "garbage.msi", "empty.msi", "types-file.msi",
                           "types-component.msi", "no-file-table.msi", "missing.msi", ""}) {
    SCOPED_TRACE(name);
    InstallerPackage package = untouched;
    EXPECT_FALSE(platform::readInstallerPackage(packagePath(name), package));
    EXPECT_EQ(package.components, untouched.components);
    EXPECT_EQ(package.files, untouched.files);
  }
}

TEST(InstallerPackage, PackageThatCrashesADatabaseLibraryGivesADefinedAnswer) {
  FENNICK_REQUIRE(packagesMade(), kPackagesMissing);
  // The stream it damages holds no table: a reader may give the tables or
  // refuse the package, but the program that asks goes on either way (on
  // Linux the database library crashes on it, in a process of its own).
  InstallerPackage good;
  ASSERT_TRUE(platform::readInstallerPackage(packagePath("good.msi"), good));
  const InstallerPackage untouched{{{u"kept", u"", u""}}, {}};
  InstallerPackage package = untouched;
  if (platform::readInstallerPackage(packagePath("crashing.msi"), package)) {
    EXPECT_EQ(package.components, good.components);
    EXPECT_EQ(package.files, good.files);
  } else {
    EXPECT_EQ(package.components, untouched.components);
  }
}
