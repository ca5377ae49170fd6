// The listing the package reader sends: rows come back whole, and a listing
// the reader did not finish gives nothing.
#include "platform/posix/prefix/PackageRows.h"

#include <gtest/gtest.h>

using platform::InstallerPackage;
namespace rows = platform::package_rows;

TEST(PackageRows, CompleteListingDecodesEveryRow) {
  std::string listing;
  rows::appendComponent(listing, "Main", "{1}", "INSTALLDIR");
  rows::appendComponent(listing, "Empty", "", "");
  rows::appendFile(listing, "Main", "MAIN~1.DLL|main \xc3\xa9.dll");
  rows::appendFile(listing, "Main", std::string("cut\0here", 8));
  rows::appendEnd(listing);
  InstallerPackage package;
  ASSERT_TRUE(rows::decode(listing, package));
  EXPECT_EQ(package.components,
            (std::vector<platform::PackageComponent>{{u"Main", u"{1}", u"INSTALLDIR"},
                                                     {u"Empty", u"", u""}}));
  EXPECT_EQ(package.files, (std::vector<platform::PackageFile>{
                               {u"Main", u"MAIN~1.DLL|main \u00e9.dll"}, {u"Main", u"cut"}}));
}

TEST(PackageRows, UnfinishedOrForeignListingsGiveNothing) {
  std::string whole;
  rows::appendComponent(whole, "Main", "{1}", "INSTALLDIR");
  rows::appendFile(whole, "Main", "main.dll");
  rows::appendEnd(whole);
  const InstallerPackage untouched{{{u"kept", u"", u""}}, {}};
  for (std::string listing : {whole.substr(0, whole.size() - 1), whole.substr(0, 10),
                              whole + "C", "X" + whole, std::string(), std::string("F\0", 2)}) {
    InstallerPackage package = untouched;
    EXPECT_FALSE(rows::decode(listing, package)) << listing.size();
    EXPECT_EQ(package.components, untouched.components);
  }
}
