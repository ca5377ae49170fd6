// The Windows Installer finder under the system's own Windows Installer
// (Wine's, in the test run), with the packages of the msi-prefix fixture
// that run-engine-tests.sh installs into the test prefix first (Alpha,
// Delta, Epsilon): each product gets exactly the files its package lists,
// with one component question per component of its package; a product
// whose cached package is gone gets the folders of its components, found
// among the machine's.
#include "finders/MsiFileFinder.h"

#include "finders/ValueObject.h"
#include "platform/WindowsInstaller.h"
#include "platform/windows/WideText.h"
#include "validation/FileFilter.h"

#include <windows.h>

#include "Requirements.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::u16string kPrograms = u"C:\\Program Files (x86)\\Orvia ";

std::u16string productCode(char16_t last) {
  std::u16string code = u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E0}";
  code.insert(code.size() - 1, 1, last);
  return code;
}

struct Listing {
  std::vector<std::u16string> files; // sorted
  std::uint64_t componentCalls = 0;  // during the scan
};

// True when run-engine-tests.sh installed the product.
bool installed(char16_t last) {
  char16_t name[MAX_PATH];
  std::uint32_t length = MAX_PATH;
  return platform::msiGetProductInfo(productCode(last), u"InstalledProductName", name, length) == 0;
}
constexpr char kNotInstalled[] =
    "the msi-prefix packages are not installed (run-engine-tests.sh installs them from the "
    "Linux build's fixtures)";

Listing scan(char16_t last) {
  MsiFileFinder finder(u"", {}, productCode(last));
  EXPECT_TRUE(finder.msiInstalled);
  CustomFileFilter filter;
  filter.addExtension(u".dll");
  std::vector<FileValueObject*> found;
  std::uint64_t before = platform::msiComponentCallCount();
  finder.findFiles(filter, found);
  Listing listing;
  listing.componentCalls = platform::msiComponentCallCount() - before;
  for (FileValueObject* file : found)
    listing.files.push_back(file->path);
  std::sort(listing.files.begin(), listing.files.end());
  return listing;
}

} // namespace

TEST(WindowsMsiFinder, EachProductListsItsPackagesFiles) {
  FENNICK_REQUIRE(installed(u'1') && installed(u'4'), kNotInstalled);
  std::uint64_t before = platform::msiComponentCallCount();
  MsiFileFinder prepared(u"", {}, productCode(u'1'));
  EXPECT_EQ(platform::msiComponentCallCount(), before);

  Listing alpha = scan(u'1');
  EXPECT_EQ(alpha.files, (std::vector<std::u16string>{
                             kPrograms + u"Alpha\\Plugins\\alpha-plugin.dll",
                             kPrograms + u"Alpha\\alpha-folder.dll", kPrograms + u"Alpha\\alpha-gone.dll",
                             kPrograms + u"Alpha\\alpha-settings.dll", kPrograms + u"Alpha\\alpha.dll"}));
  EXPECT_EQ(alpha.componentCalls, 4u);
  Listing delta = scan(u'4');
  EXPECT_EQ(delta.files, (std::vector<std::u16string>{kPrograms + u"Suite\\Delta\\delta.dll",
                                                      kPrograms + u"Suite\\delta-common.dll",
                                                      kPrograms + u"Suite\\suite.dll"}));
  EXPECT_EQ(delta.componentCalls, 3u);
}

TEST(WindowsMsiFinder, WithoutItsPackageAProductListsItsComponentsFolders) {
  FENNICK_REQUIRE(installed(u'5'), kNotInstalled);
  char16_t path[MAX_PATH] = {};
  std::uint32_t length = MAX_PATH;
  ASSERT_EQ(platform::msiGetProductInfo(productCode(u'5'), u"LocalPackage", path, length), 0u);
  ASSERT_TRUE(DeleteFileW(reinterpret_cast<const wchar_t*>(path)));
  Listing epsilon = scan(u'5');
  // The shared folder's files, Delta's too: the package told them apart.
  EXPECT_EQ(epsilon.files, (std::vector<std::u16string>{
                               kPrograms + u"Suite\\Epsilon\\epsilon.dll",
                               kPrograms + u"Suite\\delta-common.dll",
                               kPrograms + u"Suite\\epsilon-common.dll", kPrograms + u"Suite\\suite.dll"}));
  EXPECT_GT(epsilon.componentCalls, 10u); // the machine's components, all of them
}
