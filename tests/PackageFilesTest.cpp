// Which files a product's package installed, and where: long names, names
// that stay inside their folder, the folder of each kind of key path, and
// the file list of a package given its installed components.
#include "finders/PackageFiles.h"

#include "platform/InstallerPackage.h"

#include <gtest/gtest.h>

using platform::InstallerPackage;

TEST(PackageFiles, LongNameFollowsTheFirstBar) {
  EXPECT_EQ(longFileName(u"SETTIN~1.DLL|settings.dll"), u"settings.dll");
  EXPECT_EQ(longFileName(u"plain.dll"), u"plain.dll");
  EXPECT_EQ(longFileName(u"SHORT|"), u"");
  EXPECT_EQ(longFileName(u"a|b|c.dll"), u"b|c.dll");
}

TEST(PackageFiles, OnlyNamesThatStayInTheirFolderArePlain) {
  for (const char16_t* name : {u"app.dll", u"long name.dll", u"a.b.c", u".config", u"COM10.dll",
                               u"console.dll", u"nul-safe.dll", u"\u00e9t\u00e9.dll"})
    EXPECT_TRUE(isPlainFileName(name)) << std::u16string(name).size();
  for (const char16_t* name :
       {u"", u".", u"..", u"...", u" ", u"..\\evil.dll", u"../evil.dll", u"sub\\x.dll",
        u"sub/x.dll", u"C:evil.dll", u"evil.dll:stream", u"*.dll", u"evil?.dll", u"a|b.dll",
        u"quote\".dll", u"<x>.dll", u"dots.dll.", u"space.dll ", u"tab\t.dll", u"nul", u"NUL.txt",
        u"con.dll", u"Aux", u"prn.x.y", u"COM1", u"lpt9.dll", u"nul .dll"})
    EXPECT_FALSE(isPlainFileName(name)) << std::u16string(name).size();
}

TEST(PackageFiles, KeyPathsNameTheirComponentsFolder) {
  EXPECT_EQ(componentFolder(u"C:\\P\\Vendor\\app.dll"), u"C:\\P\\Vendor");
  EXPECT_EQ(componentFolder(u"C:\\P\\Vendor\\"), u"C:\\P\\Vendor");
  EXPECT_EQ(componentFolder(u"C:\\P\\Vendor\\\\"), u"C:\\P\\Vendor");
  EXPECT_EQ(componentFolder(u"C:\\root.dll"), u"C:");
  EXPECT_EQ(componentFolder(u"d:\\"), u"d:");
  for (const char16_t* noFolder : {u"02:\\Software\\Vendor\\Installed", u"22:\\Software\\x",
                                   u"01\\Vendor\\app.dll", u"Vendor\\app.dll", u"\\app.dll",
                                   u"\\\\server\\share\\app.dll", u"C:app.dll", u""})
    EXPECT_EQ(componentFolder(noFolder), u"") << std::u16string(noFolder).size();
}

TEST(PackageFiles, FilesOfInstalledComponentsInTheirFolders) {
  InstallerPackage package;
  package.components = {{u"Main", u"{1}", u"INSTALLDIR"},     {u"Folder", u"{2}", u"SUB"},
                        {u"Settings", u"{3}", u"INSTALLDIR"}, {u"Lonely", u"{4}", u"ELSEWHERE"},
                        {u"Absent", u"{5}", u"INSTALLDIR"}};
  package.files = {{u"Main", u"main.dll"},
                   {u"Main", u"MAIN~1.DLL|Main Helper.dll"},
                   {u"Folder", u"in-folder.dll"},
                   {u"Settings", u"SETTIN~1.DLL|settings.dll"},
                   {u"Lonely", u"lonely.dll"},
                   {u"Absent", u"absent.dll"},
                   {u"Nobody", u"orphan.dll"},
                   {u"Main", u"..\\evil.dll"},
                   {u"Main", u"sub/evil.dll"},
                   {u"Main", u"EVIL~1.DLL|"},
                   {u"Main", u"MAIN.DLL"}, // the same file as main.dll on Windows
                   {u"Main", u"\u00fcber.dll"},
                   {u"Main", u"\u00dcBER.DLL"}}; // and as über.dll
  std::map<std::u16string, std::u16string> local = {
      {u"Main", u"C:\\P\\App\\main.dll"},
      {u"Folder", u"C:\\P\\App\\Sub\\"},
      {u"Settings", u"02:\\Software\\Vendor\\App\\Installed"},
      {u"Lonely", u"02:\\Software\\Vendor\\App\\Lonely"}};
  // The registry-keyed Settings lies in Main's folder (same Directory_);
  // Lonely has no such neighbour and Absent is not installed here.
  EXPECT_EQ(packageFilePaths(package, local),
            (std::vector<std::u16string>{u"C:\\P\\App\\Main Helper.dll", u"C:\\P\\App\\main.dll",
                                         u"C:\\P\\App\\settings.dll",
                                         u"C:\\P\\App\\Sub\\in-folder.dll",
                                         u"C:\\P\\App\\\u00fcber.dll"}));
}

TEST(PackageFiles, RegistryKeyedComponentTakesTheFolderOfAFolderKeyedNeighbour) {
  InstallerPackage package;
  package.components = {{u"Settings", u"{1}", u"INSTALLDIR"}, {u"Folder", u"{2}", u"INSTALLDIR"}};
  package.files = {{u"Settings", u"settings.dll"}};
  EXPECT_EQ(packageFilePaths(package, {{u"Settings", u"02:\\Software\\Vendor\\x"},
                                       {u"Folder", u"C:\\P\\App\\"}}),
            std::vector<std::u16string>{u"C:\\P\\App\\settings.dll"});
  EXPECT_TRUE(packageFilePaths(package, {{u"Settings", u"02:\\Software\\Vendor\\x"}}).empty());
}
