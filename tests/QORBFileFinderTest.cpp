// The installer-database finder on fixture prefixes built from SQL text:
// products with names, states, icons and parents, payloads shared between
// products, the files of each payload, and prefixes that lack databases.
#include "InstallerTestSupport.h"

#include "finders/PayloadEntry.h"
#include "finders/ProductRecord.h"
#include "finders/QORBFileFinder.h"
#include "finders/ValueObject.h"
#include "validation/FileFilter.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace installer_test;
using Strings = std::vector<std::string>;

namespace {

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8);
const std::u16string kStudioCore = u"C:\\Program Files\\Orvia\\Kelto Studio\\";

class QORBFileFinderTest : public ::testing::Test {
protected:
  static std::string prefixFolder(const std::string& name) {
    const char* fixtures = std::getenv("FENNICK_FIXTURES");
    return std::string(fixtures ? fixtures : "fixtures") + "/installer-prefixes/" + name;
  }

  // The finder over the named fixture prefix, with icons going to a scratch
  // folder of this test.
  std::unique_ptr<QORBFileFinder> makeFinder(const std::string& prefix,
                                             std::vector<std::u16string> excluded = {},
                                             std::vector<std::u16string> suffixes = {}) {
    platform::setPrefix(prefixFolder(prefix));
    scratch = temp.windows() + u"\\scratch";
    return std::make_unique<QORBFileFinder>(std::move(excluded), std::move(suffixes), scratch);
  }

  static QORBProductRecord& product(QORBFileFinder& finder, const std::string& id) {
    auto found = finder.products.find(id);
    if (found == finder.products.end())
      throw std::runtime_error("no product " + id);
    return *found->second;
  }

  static Strings ids(const std::vector<QORBProductRecord*>& records) {
    Strings list;
    for (const QORBProductRecord* record : records)
      list.push_back(record->id);
    return list;
  }

  std::string iconBytes(const QORBProductRecord& record) {
    return readText(temp.host("scratch/" + record.id + ".png"));
  }

  TempFolder temp;
  std::u16string scratch;
};

class ExtensionFilter : public FileFilter {
public:
  explicit ExtensionFilter(std::vector<std::u16string> extensions) {
    for (const std::u16string& extension : extensions)
      filter.addExtension(extension);
  }
  bool accept(const std::u16string& path) override {
    asked.push_back(path);
    return filter.accept(path);
  }
  CustomFileFilter filter;
  std::vector<std::u16string> asked;
};

// Each listed file as "payload path".
Strings describe(const std::vector<FileValueObject*>& files) {
  Strings list;
  for (const FileValueObject* file : files) {
    auto* entry = dynamic_cast<const QORBFileValueObject*>(file);
    std::string path;
    for (char16_t unit : file->path)
      path += unit < 0x80 ? static_cast<char>(unit) : '?';
    list.push_back((entry && entry->payload ? entry->payload->payloadId : "?") + " " + path);
  }
  return list;
}

} // namespace

TEST_F(QORBFileFinderTest, EverySuiteBecomesOneProductInIdOrder) {
  auto finder = makeFinder("win32");
  EXPECT_EQ(finder->commonFilesFolder, u"C:\\Program Files\\Common Files");
  Strings order;
  for (ProductRecord* record : finder->productRecords())
    order.push_back(record->id);
  EXPECT_EQ(order, (Strings{"..\\..\\KELTO-ESCAPE", "FAKE' UNION SELECT '2", "KELTO-AMBIGUOUS",
                            "KELTO-DRAW", "KELTO-DRAW-LP-FR", "KELTO-LEGACY", "KELTO-O'NEIL",
                            "KELTO-ORPHAN-LP", "KELTO-STUDIO", "KELTO-STUDIO-PATCH-1",
                            "kelto-viewer"}));
  std::vector<ProductRecord*> session{nullptr};
  finder->appendProducts(session);
  ASSERT_EQ(session.size(), order.size() + 1);
  EXPECT_EQ(session[0], nullptr);
  for (ProductRecord* record : finder->productRecords())
    EXPECT_EQ(record->kind, kProductKindInstaller);
}

TEST_F(QORBFileFinderTest, ProductsCarryNameStateAndIcon) {
  auto finder = makeFinder("win32");
  QORBProductRecord& studio = product(*finder, "KELTO-STUDIO");
  EXPECT_EQ(studio.displayName, u"Orvia Kelto Studio");
  EXPECT_TRUE(studio.installed);
  EXPECT_FALSE(studio.excluded);
  EXPECT_FALSE(studio.patchOrLangPack);
  EXPECT_TRUE(studio.dependencyPayloadIds.empty()); // only patches look theirs up
  EXPECT_EQ(studio.iconPath, scratch + u"\\KELTO-STUDIO.png");
  EXPECT_EQ(iconBytes(studio).size(), 70u);
  EXPECT_EQ(iconBytes(studio).substr(0, 8), kPng);

  // The first matching property, from a document with a declaration.
  QORBProductRecord& draw = product(*finder, "KELTO-DRAW");
  EXPECT_EQ(draw.displayName, u"Orvia Kelto Zeichnen für Profis");
  EXPECT_TRUE(draw.installed);
  // Icon text that is not Base64 is decoded leniently and written anyway.
  EXPECT_EQ(draw.iconPath, scratch + u"\\KELTO-DRAW.png");
  EXPECT_EQ(iconBytes(draw).size(), 6u);
  QORBProductRecord& patch = product(*finder, "KELTO-STUDIO-PATCH-1");
  EXPECT_EQ(patch.iconPath, scratch + u"\\KELTO-STUDIO-PATCH-1.png");
  EXPECT_EQ(iconBytes(patch), "");

  // An empty property is an empty name; an unparsable document none.
  EXPECT_EQ(product(*finder, "kelto-viewer").displayName, u"");
  EXPECT_EQ(product(*finder, "KELTO-ORPHAN-LP").displayName, u"");
  EXPECT_EQ(product(*finder, "KELTO-ORPHAN-LP").iconPath, u"");
}

TEST_F(QORBFileFinderTest, AmbiguousValuesCountAsAbsent) {
  auto finder = makeFinder("win32");
  QORBProductRecord& ambiguous = product(*finder, "KELTO-AMBIGUOUS");
  EXPECT_FALSE(ambiguous.installed);
  EXPECT_FALSE(ambiguous.patchOrLangPack);
  EXPECT_EQ(ambiguous.iconPath, u"");
  EXPECT_EQ(ambiguous.displayName, u"");
  ASSERT_TRUE(finder->payloads.count("P-AMBIGUOUS"));
  EXPECT_EQ(ids(finder->payloads.at("P-AMBIGUOUS")->products), Strings{"KELTO-AMBIGUOUS"});
}

TEST_F(QORBFileFinderTest, ExclusionMatchesCodesExactlyAndKeepsTheProductsPayloads) {
  auto finder = makeFinder("win32", {u"KELTO-LEGACY", u"KELTO-VIEWER", u""});
  QORBProductRecord& legacy = product(*finder, "KELTO-LEGACY");
  EXPECT_TRUE(legacy.excluded);
  EXPECT_TRUE(legacy.installed);
  EXPECT_FALSE(legacy.patchOrLangPack); // its type is never looked up
  EXPECT_TRUE(legacy.dependencyPayloadIds.empty());
  EXPECT_EQ(legacy.displayName, u"Kelto Legacy");
  EXPECT_EQ(iconBytes(legacy), "ABC");
  EXPECT_TRUE(finder->payloads.count("P-LEGACY"));

  QORBProductRecord& viewer = product(*finder, "kelto-viewer");
  EXPECT_FALSE(viewer.excluded); // the code differs in letter case
  EXPECT_FALSE(viewer.installed); // state 1; KELTO-VIEWER's 2 is another id
  EXPECT_FALSE(viewer.patchOrLangPack); // "PATCH" is no patch

  ExtensionFilter filter({u".exe"});
  std::vector<FileValueObject*> files;
  finder->findFiles(filter, files);
  Strings listed = describe(files);
  EXPECT_NE(std::find(listed.begin(), listed.end(),
                      "P-LEGACY C:\\Program Files\\Orvia\\Legacy\\Legacy.exe"),
            listed.end());
}

TEST_F(QORBFileFinderTest, PatchesAndLanguagePacksLinkToTheProductsTheyDependOn) {
  auto finder = makeFinder("win32");
  QORBProductRecord& patch = product(*finder, "KELTO-STUDIO-PATCH-1");
  EXPECT_TRUE(patch.patchOrLangPack);
  EXPECT_EQ(patch.dependencyPayloadIds, (std::set<std::string>{"P-STUDIO-CORE"}));
  EXPECT_EQ(ids(patch.parentProducts), Strings{"KELTO-STUDIO"});

  // Dependencies in id order; the shared runtime adds Studio after Draw,
  // and Draw, reached twice, is held once.
  QORBProductRecord& languagePack = product(*finder, "KELTO-DRAW-LP-FR");
  EXPECT_TRUE(languagePack.patchOrLangPack);
  EXPECT_EQ(languagePack.displayName, u"Kelto Draw français");
  EXPECT_EQ(languagePack.dependencyPayloadIds,
            (std::set<std::string>{"P-DRAW", "P-SHARED-RUNTIME"}));
  EXPECT_EQ(ids(languagePack.parentProducts), (Strings{"KELTO-DRAW", "KELTO-STUDIO"}));

  QORBProductRecord& orphan = product(*finder, "KELTO-ORPHAN-LP");
  EXPECT_TRUE(orphan.patchOrLangPack);
  EXPECT_EQ(orphan.dependencyPayloadIds, (std::set<std::string>{"P-NOWHERE"}));
  EXPECT_TRUE(orphan.parentProducts.empty());
  EXPECT_TRUE(product(*finder, "KELTO-STUDIO").parentProducts.empty());
}

TEST_F(QORBFileFinderTest, PayloadsGroupTheirProductsInReadOrder) {
  auto finder = makeFinder("win32");
  Strings payloadIds;
  for (const auto& [id, entry] : finder->payloads) {
    payloadIds.push_back(id);
    EXPECT_EQ(entry->payloadId, id);
  }
  EXPECT_EQ(payloadIds, (Strings{"P-AMBIGUOUS", "P-BROKEN", "P-DRAW", "P-DRAW-LP-FR", "P-ESCAPE",
                                 "P-LEGACY", "P-ONEIL", "P-SHARED-RUNTIME", "P-STUDIO-CORE",
                                 "P-STUDIO-PATCH-1", "P-VIEWER"}));
  EXPECT_EQ(ids(finder->payloads.at("P-SHARED-RUNTIME")->products),
            (Strings{"KELTO-STUDIO", "KELTO-DRAW"}));
  // The suite listed twice is one product, held once by its payload.
  EXPECT_EQ(ids(finder->payloads.at("P-STUDIO-CORE")->products), Strings{"KELTO-STUDIO"});
  EXPECT_EQ(finder->payloads.at("P-STUDIO-CORE")->products[0],
            &product(*finder, "KELTO-STUDIO"));
  EXPECT_EQ(ids(finder->payloads.at("P-BROKEN")->products), Strings{"kelto-viewer"});
}

TEST_F(QORBFileFinderTest, QuotesInIdsAreLookedUpAsThemselves) {
  auto finder = makeFinder("win32");
  QORBProductRecord& oneil = product(*finder, "KELTO-O'NEIL");
  EXPECT_EQ(oneil.displayName, u"O'Neil Fonts");
  EXPECT_TRUE(oneil.installed);
  EXPECT_EQ(iconBytes(oneil).substr(0, 8), kPng); // Base64 split over two lines
  EXPECT_EQ(ids(finder->payloads.at("P-ONEIL")->products), Strings{"KELTO-O'NEIL"});

  // An id crafted to add a row to every query finds nothing of its own.
  QORBProductRecord& crafted = product(*finder, "FAKE' UNION SELECT '2");
  EXPECT_FALSE(crafted.installed);
  EXPECT_FALSE(crafted.patchOrLangPack);
  EXPECT_EQ(crafted.iconPath, u"");
  EXPECT_EQ(crafted.displayName, u"");
  EXPECT_FALSE(finder->payloads.count("2"));
  EXPECT_FALSE(finder->payloads.count("P-INJECTED"));
}

TEST_F(QORBFileFinderTest, IconsStayInsideTheScratchFolder) {
  auto finder = makeFinder("win32");
  // An id that is no plain file name gets no icon at all.
  EXPECT_EQ(product(*finder, "..\\..\\KELTO-ESCAPE").iconPath, u"");
  auto written = snapshotTree(temp.host());
  Strings names;
  for (const auto& [name, content] : written)
    names.push_back(name);
  EXPECT_EQ(names, (Strings{"scratch", "scratch/KELTO-DRAW.png", "scratch/KELTO-LEGACY.png",
                            "scratch/KELTO-O'NEIL.png",
                            "scratch/KELTO-STUDIO-PATCH-1.png", "scratch/KELTO-STUDIO.png"}));
}

TEST_F(QORBFileFinderTest, WithoutScratchFolderNoIconIsWritten) {
  platform::setPrefix(prefixFolder("win32"));
  QORBFileFinder finder({}, {}, u"");
  for (ProductRecord* record : finder.productRecords())
    EXPECT_EQ(record->iconPath, u"") << record->id;
  EXPECT_EQ(product(finder, "KELTO-STUDIO").displayName, u"Orvia Kelto Studio");
}

TEST_F(QORBFileFinderTest, FilesOfEveryPayloadAreListedInPayloadOrder) {
  auto finder = makeFinder("win32", {}, {u"\\Cache\\thumbs.dll"});
  ExtensionFilter filter({u".exe", u".dll", u".ovp", u".zip"});
  FileValueObject earlier(u"C:\\earlier.exe", nullptr);
  std::vector<FileValueObject*> files{&earlier};
  EXPECT_TRUE(finder->findFiles(filter, files));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files[0], &earlier);
  files.erase(files.begin());
  EXPECT_EQ(describe(files),
            (Strings{
                "P-AMBIGUOUS C:\\Program Files\\Orvia\\Ambiguous\\amb.dll",
                "P-DRAW C:\\Program Files\\Orvia\\Kelto Draw\\Draw.exe",
                "P-DRAW C:\\Program Files\\Orvia\\Kelto Draw\\Zeichnen f?r Profis.dll",
                "P-ESCAPE C:\\Program Files\\Orvia\\Escape\\escape.exe",
                "P-LEGACY C:\\Program Files\\Orvia\\Legacy\\Legacy.exe",
                "P-ONEIL C:\\Program Files\\Orvia\\O'Neil\\Fonts\\oneil.dll",
                "P-SHARED-RUNTIME C:\\Program Files\\Common Files\\Orvia\\Runtime\\orviart.dll",
                "P-SHARED-RUNTIME C:\\Program Files\\Common Files\\Orvia\\Runtime\\runtime.zip",
                "P-STUDIO-CORE C:\\Program Files\\Orvia\\Kelto Studio\\Studio.exe",
                "P-STUDIO-CORE C:\\Program Files\\Orvia\\Kelto Studio\\Core.dll",
                "P-STUDIO-CORE C:\\Program Files\\Orvia\\Kelto Studio\\Plug-ins\\Filter.OVP",
                "P-STUDIO-CORE C:\\Program Files\\Orvia\\Kelto Studio\\Core.dll",
                "P-STUDIO-PATCH-1 C:\\Program Files\\Orvia\\Kelto Studio\\Update1\\Studio.exe",
            }));
  EXPECT_EQ(files[2]->path, u"C:\\Program Files\\Orvia\\Kelto Draw\\Zeichnen für Profis.dll");
  // Entries belong to the finder, carry their payload and no product.
  ASSERT_EQ(finder->valueObjects.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(finder->valueObjects[i].get(), files[i]);
    EXPECT_EQ(files[i]->product, nullptr);
  }
  EXPECT_EQ(static_cast<QORBFileValueObject*>(files[0])->payload,
            finder->payloads.at("P-AMBIGUOUS").get());
  // The filter saw the excluded file: it is asked before the suffixes.
  EXPECT_NE(std::find(filter.asked.begin(), filter.asked.end(),
                      kStudioCore + u"Cache\\thumbs.dll"),
            filter.asked.end());
}

TEST_F(QORBFileFinderTest, UnreadableOrMissingUninstallDatabasesListNothing) {
  auto finder = makeFinder("win32");
  ExtensionFilter filter({u".exe", u".dll"});
  std::vector<FileValueObject*> files;
  EXPECT_FALSE(finder->listPayloadFiles(filter, files, *finder->payloads.at("P-DRAW-LP-FR")));
  EXPECT_FALSE(finder->listPayloadFiles(filter, files, *finder->payloads.at("P-BROKEN")));
  // A destination column spelled in another case is never matched.
  EXPECT_TRUE(finder->listPayloadFiles(filter, files, *finder->payloads.at("P-VIEWER")));
  EXPECT_TRUE(files.empty());
  EXPECT_EQ(filter.asked, std::vector<std::u16string>{u""});
}

TEST_F(QORBFileFinderTest, EmptyExcludedSuffixListsNothing) {
  auto finder = makeFinder("win32", {}, {u"\\nothing", u""});
  ExtensionFilter filter({u".exe", u".dll"});
  std::vector<FileValueObject*> files;
  EXPECT_TRUE(finder->findFiles(filter, files));
  EXPECT_TRUE(files.empty());
  EXPECT_FALSE(filter.asked.empty());
}

TEST_F(QORBFileFinderTest, MissingInstallStateDatabaseMeansNothingInstalled) {
  auto finder = makeFinder("no-state");
  ASSERT_EQ(finder->products.size(), 11u);
  for (const auto& [id, record] : finder->products) {
    EXPECT_FALSE(record->installed) << id;
    EXPECT_TRUE(record->dependencyPayloadIds.empty()) << id;
    EXPECT_TRUE(record->parentProducts.empty()) << id;
  }
  EXPECT_TRUE(product(*finder, "KELTO-STUDIO-PATCH-1").patchOrLangPack);
  EXPECT_EQ(product(*finder, "KELTO-STUDIO").displayName, u"Orvia Kelto Studio");
}

TEST_F(QORBFileFinderTest, WithoutMediaDatabaseThereIsNothing) {
  for (const char* prefix : {"no-media", "empty", "no-such-prefix"}) {
    auto finder = makeFinder(prefix);
    EXPECT_TRUE(finder->products.empty()) << prefix;
    EXPECT_TRUE(finder->payloads.empty()) << prefix;
    ExtensionFilter filter({u".exe"});
    std::vector<FileValueObject*> files;
    EXPECT_TRUE(finder->findFiles(filter, files));
    EXPECT_TRUE(files.empty());
  }
  // A prefix without drive C: gives no common-files folder.
  EXPECT_EQ(makeFinder("no-such-prefix")->commonFilesFolder, u"");
}

TEST_F(QORBFileFinderTest, SixtyFourBitPrefixReadsTheThirtyTwoBitCommonFiles) {
  auto finder = makeFinder("win64");
  EXPECT_EQ(finder->commonFilesFolder, u"C:\\Program Files (x86)\\Common Files");
  EXPECT_EQ(finder->products.size(), 11u);
  EXPECT_FALSE(finder->products.count("DECOY-64"));
  EXPECT_EQ(ids(product(*finder, "KELTO-DRAW-LP-FR").parentProducts),
            (Strings{"KELTO-DRAW", "KELTO-STUDIO"}));
}

TEST_F(QORBFileFinderTest, ReadingAndListingLeaveThePrefixAsItWas) {
  std::string prefix = prefixFolder("win32");
  auto before = snapshotTree(prefix);
  {
    auto finder = makeFinder("win32");
    ExtensionFilter filter({u".exe", u".dll", u".ovp", u".zip"});
    std::vector<FileValueObject*> files;
    finder->findFiles(filter, files);
    EXPECT_FALSE(files.empty());
  }
  EXPECT_EQ(snapshotTree(prefix), before);
}
