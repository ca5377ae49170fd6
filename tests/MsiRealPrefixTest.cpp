// The Windows Installer finder on a prefix made by wineboot, with packages
// built by wixl and installed (one removed again) by Wine's own msiexec:
// every product gets its own files and no other's, whatever its recorded
// install location holds, and nothing outside the products is listed.
#include "finders/MsiFileFinder.h"

#include "finders/ValueObject.h"
#include "validation/FileFilter.h"

#include "Requirements.h"
#include "TestPrefix.h"

#include <algorithm>
#include <gtest/gtest.h>

TEST(MsiRealPrefix, EveryProductListsItsOwnFilesWhateverItsLocation) {
  const char* fixtures = std::getenv("FENNICK_FIXTURES");
  std::filesystem::path prefix =
      std::filesystem::path(fixtures ? fixtures : "fixtures") / "msi-prefix" / "prefix";
  FENNICK_REQUIRE(std::filesystem::exists(prefix / "system.reg"),
                  "the msi-prefix fixture was not made (it needs wine and wixl): " +
                      prefix.string());
  std::string previous = platform::prefix();
  platform::setPrefix(prefix.string());

  const std::u16string p = u"C:\\Program Files (x86)\\Orvia ";
  struct Case {
    char16_t last;                    // the product code's last digit
    bool installed;
    std::vector<std::u16string> files; // sorted
  };
  const Case cases[] = {
      // Location empty: the component folders (the named pipe is listed like
      // any file; reading it is the validators' care).
      {u'1', true, {p + u"Alpha\\Plugins\\alpha-plugin.dll", p + u"Alpha\\alpha.dll",
                    p + u"Alpha\\pipe.dll"}},
      {u'2', true, {p + u"Beta\\beta.dll"}},                          // "[INSTALLDIR]"
      {u'3', true, {p + u"Gamma\\Sub\\gamma-sub.dll", p + u"Gamma\\gamma.dll"}}, // walked
      // A shared folder and component, each product's own subfolder.
      {u'4', true, {p + u"Suite\\Delta\\delta.dll", p + u"Suite\\suite.dll"}},
      {u'5', true, {p + u"Suite\\Epsilon\\epsilon.dll", p + u"Suite\\suite.dll"}},
      {u'6', false, {}}, // removed again
  };
  for (const Case& expected : cases) {
    std::u16string code = u"{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E0}";
    code.insert(code.size() - 1, 1, expected.last);
    SCOPED_TRACE(TestPrefix::utf8(code));
    MsiFileFinder finder(u"", {}, code);
    CustomFileFilter filter;
    filter.addExtension(u".dll");
    std::vector<FileValueObject*> found;
    finder.findFiles(filter, found);
    std::vector<std::u16string> files;
    for (FileValueObject* file : found)
      files.push_back(file->path);
    std::sort(files.begin(), files.end());
    EXPECT_EQ(finder.msiInstalled, expected.installed);
    EXPECT_EQ(files, expected.files);
  }
  platform::setPrefix(previous);
}
