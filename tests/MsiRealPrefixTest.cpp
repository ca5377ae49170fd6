// The Windows Installer finder on a prefix made by wineboot, with packages
// built by wixl and installed (one removed again) by Wine's own msiexec:
// every product gets its own files and no other's, whatever its recorded
// install location holds, and nothing outside the products is listed.
#include "finders/MsiFileFinder.h"

#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "validation/FileFilter.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "TestPrefix.h"

namespace {

using Paths = std::vector<std::u16string>;

const std::u16string kPrograms = u"C:\\Program Files (x86)\\";

class MsiRealPrefixTest : public ::testing::Test {
protected:
  void SetUp() override {
    const char* fixtures = std::getenv("FENNICK_FIXTURES");
    std::filesystem::path prefix =
        std::filesystem::path(fixtures ? fixtures : "fixtures") / "msi-prefix" / "prefix";
    ASSERT_TRUE(std::filesystem::exists(prefix / "system.reg")) << prefix;
    previous = platform::prefix();
    platform::setPrefix(prefix.string());
  }
  void TearDown() override { platform::setPrefix(previous); }

  // The finder of the product and the files it lists with the .dll filter.
  struct Listing {
    bool msiInstalled;
    std::u16string location;
    std::u16string name;
    Paths files;
  };
  static Listing list(const std::u16string& code) {
    MsiFileFinder finder(u"", {}, code);
    CustomFileFilter filter;
    filter.addExtension(u".dll");
    std::vector<FileValueObject*> found;
    finder.findFiles(filter, found);
    Listing listing{finder.msiInstalled, finder.record().installLocation,
                    finder.product->displayName, {}};
    for (FileValueObject* file : found)
      listing.files.push_back(file->path);
    std::sort(listing.files.begin(), listing.files.end());
    return listing;
  }

  std::string previous;
};

} // namespace

TEST_F(MsiRealPrefixTest, EmptyLocationListsTheComponentFolders) {
  Listing alpha = list(u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E01}");
  EXPECT_TRUE(alpha.msiInstalled);
  EXPECT_EQ(alpha.location, u"");
  EXPECT_EQ(alpha.name, u"Orvia Alpha");
  // The named pipe is listed like any file; reading it is the validators' care.
  EXPECT_EQ(alpha.files, (Paths{kPrograms + u"Orvia Alpha\\Plugins\\alpha-plugin.dll",
                                kPrograms + u"Orvia Alpha\\alpha.dll",
                                kPrograms + u"Orvia Alpha\\pipe.dll"}));
}

TEST_F(MsiRealPrefixTest, UnformattedLocationListsTheComponentFolders) {
  Listing beta = list(u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E02}");
  EXPECT_TRUE(beta.msiInstalled);
  EXPECT_EQ(beta.location, u"[INSTALLDIR]");
  EXPECT_EQ(beta.files, (Paths{kPrograms + u"Orvia Beta\\beta.dll"}));
}

TEST_F(MsiRealPrefixTest, ValidLocationIsWalked) {
  Listing gamma = list(u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E03}");
  EXPECT_EQ(gamma.location, kPrograms + u"Orvia Gamma");
  EXPECT_EQ(gamma.files, (Paths{kPrograms + u"Orvia Gamma\\Sub\\gamma-sub.dll",
                                kPrograms + u"Orvia Gamma\\gamma.dll"}));
}

TEST_F(MsiRealPrefixTest, ProductsSharingAFolderKeepTheirOwnSubfolders) {
  Listing delta = list(u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E04}");
  Listing epsilon = list(u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E05}");
  EXPECT_EQ(delta.files, (Paths{kPrograms + u"Orvia Suite\\Delta\\delta.dll",
                                kPrograms + u"Orvia Suite\\suite.dll"}));
  EXPECT_EQ(epsilon.files, (Paths{kPrograms + u"Orvia Suite\\Epsilon\\epsilon.dll",
                                  kPrograms + u"Orvia Suite\\suite.dll"}));
}

TEST_F(MsiRealPrefixTest, RemovedProductIsUnknownAndListsNothing) {
  Listing zeta = list(u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E06}");
  EXPECT_FALSE(zeta.msiInstalled);
  EXPECT_EQ(zeta.name, u"");
  EXPECT_TRUE(zeta.files.empty());
}
