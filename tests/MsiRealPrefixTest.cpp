// The Windows Installer finder on a prefix made by wineboot, with packages
// built by wixl and installed (one removed again) by Wine's own msiexec:
// every product gets exactly the files its package installed and no other's,
// whatever its recorded install location holds, and nothing outside the
// products is listed. Preparing asks nothing about components; the scan
// asks about the product's own components only.
#include "finders/MsiFileFinder.h"

#include "finders/ValueObject.h"
#include "platform/WindowsInstaller.h"
#include "validation/FileFilter.h"

#include "Requirements.h"
#include "TestPrefix.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int kIotaComponents = 5000;
constexpr char kFixtureMissing[] = "the msi-prefix fixture was not made (it needs wine and wixl)";

// The product code of the fixture product with the given last digit.
std::u16string productCode(char16_t last) {
  std::u16string code = u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E0}";
  code.insert(code.size() - 1, 1, last);
  return code;
}

// Makes the fixture prefix the machine for the object's lifetime.
class FixturePrefix {
public:
  FixturePrefix() : previous(platform::prefix()) {
    const char* fixtures = std::getenv("FENNICK_FIXTURES");
    std::filesystem::path prefix =
        std::filesystem::path(fixtures ? fixtures : "fixtures") / "msi-prefix" / "prefix";
    present = std::filesystem::exists(prefix / "system.reg");
    platform::setPrefix(prefix.string());
  }
  ~FixturePrefix() { platform::setPrefix(previous); }
  bool present;

private:
  std::string previous;
};

std::vector<std::u16string> sortedPaths(MsiFileFinder& finder) {
  CustomFileFilter filter;
  filter.addExtension(u".dll");
  std::vector<FileValueObject*> found;
  finder.findFiles(filter, found);
  std::vector<std::u16string> files;
  for (FileValueObject* file : found)
    files.push_back(file->path);
  std::sort(files.begin(), files.end());
  return files;
}

} // namespace

TEST(MsiRealPrefix, EveryProductListsItsOwnFilesWhateverItsLocation) {
  FixturePrefix machine;
  FENNICK_REQUIRE(machine.present, kFixtureMissing);

  const std::u16string p = u"C:\\Program Files (x86)\\Orvia ";
  struct Case {
    char16_t last;                    // the product code's last digit
    bool installed;
    std::vector<std::u16string> files; // sorted
  };
  const Case cases[] = {
      // Location empty: the package's files. A registry key path takes the
      // folder of its neighbour, a folder key path is its own folder; the
      // file deleted after the install and the named pipe nobody installed
      // are not listed.
      {u'1', true, {p + u"Alpha\\Plugins\\alpha-plugin.dll", p + u"Alpha\\alpha-folder.dll",
                    p + u"Alpha\\alpha-settings.dll", p + u"Alpha\\alpha.dll"}},
      {u'2', true, {p + u"Beta\\beta.dll"}},                          // "[INSTALLDIR]"
      {u'3', true, {p + u"Gamma\\Sub\\gamma-sub.dll", p + u"Gamma\\gamma.dll"}}, // walked
      // A shared folder and component: each product gets the shared file and
      // its own, never its neighbour's.
      {u'4', true, {p + u"Suite\\Delta\\delta.dll", p + u"Suite\\delta-common.dll",
                    p + u"Suite\\suite.dll"}},
      {u'5', true, {p + u"Suite\\Epsilon\\epsilon.dll", p + u"Suite\\epsilon-common.dll",
                    p + u"Suite\\suite.dll"}},
      {u'6', false, {}}, // removed again
      // Its own file in system32 and none of Wine's; not the file of its
      // feature that is not installed.
      {u'7', true, {u"C:\\Program Files\\Orvia Eta\\eta.dll", u"C:\\windows\\system32\\orvia-eta.dll"}},
      // The cached package is gone: the folder of its component, listed.
      {u'8', true, {p + u"Theta\\theta-stray.dll", p + u"Theta\\theta.dll"}},
  };
  for (const Case& expected : cases) {
    std::u16string code = productCode(expected.last);
    SCOPED_TRACE(TestPrefix::utf8(code));
    MsiFileFinder finder(u"", {}, code);
    EXPECT_EQ(finder.msiInstalled, expected.installed);
    EXPECT_EQ(sortedPaths(finder), expected.files);
  }

  MsiFileFinder iota(u"", {}, productCode(u'9'));
  std::vector<std::u16string> files = sortedPaths(iota);
  ASSERT_EQ(files.size(), std::size_t(kIotaComponents));
  EXPECT_EQ(files.front(), p + u"Iota\\Part00\\iota-0000.dll");
  EXPECT_EQ(files.back(), p + u"Iota\\Part19\\iota-4999.dll");
}

TEST(MsiRealPrefix, ComponentQuestionsGrowWithTheProductNotTheMachine) {
  FixturePrefix machine;
  FENNICK_REQUIRE(machine.present, kFixtureMissing);
  // Preparing a session: the finders of every product, no component call.
  std::uint64_t before = platform::msiComponentCallCount();
  std::vector<std::unique_ptr<MsiFileFinder>> finders;
  for (char16_t last = u'1'; last <= u'9'; ++last)
    finders.push_back(std::make_unique<MsiFileFinder>(u"", std::vector<std::u16string>{},
                                                      productCode(last)));
  EXPECT_EQ(platform::msiComponentCallCount(), before);

  // The scan: one question per component of the product's package, on a
  // machine that holds more than 5,000 other components.
  auto scanned = [&](char16_t last) {
    std::uint64_t start = platform::msiComponentCallCount();
    sortedPaths(*finders[last - u'1']);
    return platform::msiComponentCallCount() - start;
  };
  EXPECT_EQ(scanned(u'1'), 4u);
  EXPECT_EQ(scanned(u'7'), 3u);
  EXPECT_EQ(scanned(u'9'), std::uint64_t(kIotaComponents));
  // Gamma's location is walked: no component is asked about.
  EXPECT_EQ(scanned(u'3'), 0u);
  // Without its package, Theta's components are found among the machine's.
  EXPECT_GT(scanned(u'8'), std::uint64_t(kIotaComponents));
}
