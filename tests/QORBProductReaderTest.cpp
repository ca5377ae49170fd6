// The QORBProduct element of the scan configuration: its codes and suffixes
// reach the installer-database finder, whose products join the session.
#include "InstallerTestSupport.h"

#include "config/FolderTokens.h"
#include "config/QORBProductReader.h"
#include "config/ScanConfig.h"
#include "finders/FolderFinder.h"
#include "finders/MsiFileFinder.h"
#include "finders/ProductRecord.h"
#include "finders/QORBFileFinder.h"
#include "platform/Resources.h"
#include "session/ScanContext.h"
#include "util/Text.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

void useFixturePrefix(const std::string& name) {
  const char* fixtures = std::getenv("FENNICK_FIXTURES");
  platform::setPrefix(std::string(fixtures ? fixtures : "fixtures") + "/installer-prefixes/" +
                      name);
}

// Reads the document's root element with the reader.
bool readRoot(const std::u16string& xml, const ScanContext& context, ProductReading& reading) {
  XmlDocumentPtr document;
  std::optional<XmlNodeList> roots;
  long count = 0;
  if (!loadXmlText(xml, document) || !selectXPath(document, u"/QORBProduct", roots, count))
    return false;
  std::optional<XmlElement> root = elementAt(roots, 0);
  return root && readQORBProduct(*root, context, reading);
}

} // namespace

TEST(QORBProductReader, CodesAndSuffixesReachTheFinder) {
  useFixturePrefix("win32");
  ScanContext context;
  context.folderTokens[u"[Common]"] = u"C:\\Program Files\\Common Files";
  ProductReading reading;
  ASSERT_TRUE(readRoot(u"<QORBProduct><id>not a star</id>"
                       u"<excludedOrviaCode><OrviaCode name='legacy'>KELTO-LEGACY</OrviaCode>"
                       u"<Other>KELTO-STUDIO</Other></excludedOrviaCode>"
                       u"<ExcludedSuffixes><ExcludedSuffix>\\Cache\\thumbs.dll</ExcludedSuffix>"
                       u"<ExcludedSuffix>[Common]\\Orvia</ExcludedSuffix></ExcludedSuffixes>"
                       u"<excludedOrviaCode><OrviaCode>kelto-viewer</OrviaCode><OrviaCode/>"
                       u"</excludedOrviaCode></QORBProduct>",
                       context, reading));
  auto* finder = dynamic_cast<QORBFileFinder*>(reading.finder.get());
  ASSERT_NE(finder, nullptr);
  EXPECT_EQ(finder->excludedCodes,
            (std::set<std::u16string>{u"", u"KELTO-LEGACY", u"kelto-viewer"}));
  EXPECT_EQ(finder->excludedSuffixes,
            (std::vector<std::u16string>{u"\\Cache\\thumbs.dll",
                                         u"C:\\Program Files\\Common Files\\Orvia"}));
  EXPECT_EQ(finder->scratchFolder, context.scratchFolder);
  EXPECT_EQ(reading.records, finder->productRecords());
  ASSERT_EQ(reading.records.size(), 11u);
  EXPECT_TRUE(finder->products.at("KELTO-LEGACY")->excluded);
  EXPECT_TRUE(finder->products.at("kelto-viewer")->excluded);
  EXPECT_FALSE(finder->products.at("KELTO-STUDIO")->excluded);
}

TEST(QORBProductReader, OnlyAnElementWithoutChildrenYieldsNothing) {
  useFixturePrefix("empty");
  ScanContext context;
  ProductReading reading;
  EXPECT_FALSE(readRoot(u"<QORBProduct/>", context, reading));
  EXPECT_EQ(reading.finder, nullptr);
  // An installer without products still gives its finder.
  EXPECT_TRUE(readRoot(u"<QORBProduct><id>*</id></QORBProduct>", context, reading));
  EXPECT_NE(dynamic_cast<QORBFileFinder*>(reading.finder.get()), nullptr);
  EXPECT_TRUE(reading.records.empty());
}

TEST(QORBProductReader, ShippedConfigurationBuildsAllThreeKindsOfFinder) {
  useFixturePrefix("win64");
  ScanContext context;
  collectFolderTokens(context.folderTokens);
  std::span<const std::uint8_t> bytes = platform::findResource(platform::kResourceScanConfig, 171);
  std::u16string text;
  ASSERT_TRUE(utf8ToWide(std::string(bytes.begin(), bytes.end()), text));
  parseScanConfig(text, context);

  ASSERT_EQ(context.finders.size(), 6u);
  EXPECT_NE(dynamic_cast<MsiFileFinder*>(context.finders[0].get()), nullptr);
  for (size_t i = 1; i < 5; ++i)
    EXPECT_NE(dynamic_cast<FolderFinder*>(context.finders[i].get()), nullptr);
  auto* installer = dynamic_cast<QORBFileFinder*>(context.finders[5].get());
  ASSERT_NE(installer, nullptr);
  EXPECT_EQ(installer->excludedCodes.size(), 10u);
  EXPECT_EQ(installer->excludedSuffixes, std::vector<std::u16string>{u"\\orvia-uninstall.exe"});
  // The session lists the five configured products, then every product of
  // the installer in the finder's order.
  std::vector<ProductRecord*> installerProducts = installer->productRecords();
  ASSERT_EQ(installerProducts.size(), 11u);
  ASSERT_EQ(context.products.size(), 5u + installerProducts.size());
  EXPECT_TRUE(std::equal(installerProducts.begin(), installerProducts.end(),
                         context.products.begin() + 5));
  EXPECT_EQ(installer->products.at("KELTO-STUDIO")->displayName, u"Orvia Kelto Studio");
}
