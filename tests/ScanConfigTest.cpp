// Reading ScanConfig documents into a session's context.
#include "config/ScanConfig.h"

#include "config/ConfigDate.h"
#include "config/FolderTokens.h"
#include "finders/FolderFinder.h"
#include "finders/MsiFileFinder.h"
#include "finders/ProductRecord.h"
#include "platform/Resources.h"
#include "session/ScanContext.h"
#include "util/Calendar.h"
#include "validation/JarValidator.h"
#include "validation/PEValidator.h"

#include "Fixtures.h"
#include "TestPrefix.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A 64-bit machine with its own temporary folder, and a session on it.
struct Session {
  Session()
      : machine(TestPrefix::Arch::Win64), temp(machine.root / "tmp"),
        tmpdir("TMPDIR", (std::filesystem::create_directories(temp), temp.string())) {}

  ScanContext& parse(const std::u16string& text) {
    parseScanConfig(text, context);
    return context;
  }
  std::filesystem::path hostPath(const std::u16string& windowsPath) const {
    return platform::toHostPath(windowsPath).value_or("/nonexistent");
  }

  TestPrefix machine;
  std::filesystem::path temp;
  ScopedEnvironment tmpdir;
  ScanContext context;
};

std::u16string validators(const std::u16string& inner) {
  return u"<ScanConfig><Validators>" + inner + u"</Validators></ScanConfig>";
}

std::u16string withValidator(const std::u16string& rest) {
  return u"<ScanConfig><Validators><Validator><Type>PE</Type><FileTypes><Extension>dll</Extension>"
         u"</FileTypes></Validator></Validators>" +
         rest + u"</ScanConfig>";
}

FileTime dateOf(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour = 0,
                std::uint16_t minute = 0, std::uint16_t second = 0, std::uint16_t millisecond = 0) {
  FileTime time;
  EXPECT_TRUE(calendarToFileTime({year, month, day, hour, minute, second, millisecond}, time));
  return time;
}

FileTime startDateOf(const std::u16string& text) {
  ScanConfigValidators result;
  EXPECT_TRUE(readScanConfigValidators(
      validators(u"<Validator><Type>PE</Type><StartDate>" + text + u"</StartDate></Validator>"),
      result));
  return result.validators.empty() ? FileTime{} : result.validators[0]->startDate;
}

constexpr char16_t kPng[] = u"iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==";

} // namespace

TEST(ScanConfig, ExtensionsAreNormalisedAndRegisteredPerValidator) {
  ScanConfigValidators result;
  ASSERT_TRUE(readScanConfigValidators(validators(
      u"<Validator><Type>PE</Type><FileTypes>"
      u"<Extension>exe</Extension><Extension>.exe</Extension><Extension></Extension>"
      u"<Extension>8BX</Extension><!-- skipped --><Other>txt</Other></FileTypes>"
      u"<CertificateHash>old</CertificateHash><CertificateHash>ab12</CertificateHash>"
      u"<CompanyName>Orvia Systems</CompanyName></Validator>"
      u"<Validator><Type>JAR</Type><FileTypes><Extension>zip</Extension></FileTypes></Validator>"),
      result));
  ASSERT_EQ(result.validators.size(), 2u);
  ValidatorBase* pe = result.validators[0].get();
  ValidatorBase* jar = result.validators[1].get();
  EXPECT_NE(dynamic_cast<PEValidator*>(pe), nullptr);
  EXPECT_NE(dynamic_cast<JarValidator*>(jar), nullptr);
  EXPECT_EQ(pe->certificateHash, u"ab12");
  EXPECT_EQ(pe->companyName, u"Orvia Systems");
  EXPECT_EQ(jar->certificateHash, u"");
  EXPECT_FALSE(pe->startDate.isSet());

  EXPECT_TRUE(result.filter->accept(u"C:\\App\\setup.EXE"));
  // An extension configured without its dot gets one: it ends names, not words.
  EXPECT_FALSE(result.filter->accept(u"C:\\App\\setupexe"));
  EXPECT_EQ(result.factory->getValidator(u"C:\\App\\setupexe"), nullptr);
  EXPECT_FALSE(result.filter->accept(u"C:\\Plug\\filter8bx"));
  EXPECT_EQ(result.factory->getValidator(u"C:\\App\\setup.exe"), pe);
  EXPECT_TRUE(result.filter->accept(u"C:\\Plug\\filter.8bx"));
  EXPECT_EQ(result.factory->getValidator(u"C:\\Plug\\filter.8bx"), pe);
  EXPECT_EQ(result.factory->getValidator(u"C:\\a.zip"), jar);
  // The empty extension added nothing: a name ending in a dot, or no dot, is refused.
  EXPECT_FALSE(result.filter->accept(u"C:\\App\\README"));
  EXPECT_FALSE(result.filter->accept(u"C:\\App\\README."));
  EXPECT_FALSE(result.filter->accept(u"C:\\App\\notes.txt"));
}

TEST(ScanConfig, ValidatorsWithoutAKnownTypeAreDroppedWithTheirExtensions) {
  ScanConfigValidators result;
  ASSERT_TRUE(readScanConfigValidators(validators(
      u"<Validator><FileTypes><Extension>dll</Extension><Extension>ocx</Extension></FileTypes></Validator>"
      u"<Validator><Type>pe</Type><FileTypes><Extension>sys</Extension></FileTypes></Validator>"
      u"<Validator><Type>PE</Type><FileTypes><Extension>ocx</Extension></FileTypes></Validator>"
      u"<Validator><Type>JAR</Type></Validator>"
      u"<Validator>text first <Type>JAR</Type><FileTypes>x<Extension>ocx</Extension></FileTypes></Validator>"),
      result));
  ASSERT_EQ(result.validators.size(), 3u);
  EXPECT_FALSE(result.filter->accept(u"C:\\lib.dll"));
  EXPECT_FALSE(result.filter->accept(u"C:\\driver.sys"));
  EXPECT_EQ(result.factory->getValidator(u"C:\\lib.dll"), nullptr);
  // The validator without FileTypes is made and owned, never handed out;
  // the later registration of .ocx wins.
  EXPECT_NE(dynamic_cast<JarValidator*>(result.validators[1].get()), nullptr);
  EXPECT_EQ(result.factory->getValidator(u"C:\\ctl.ocx"), result.validators[2].get());
}

TEST(ScanConfig, DatesFollowTheConfigurationFormat) {
  EXPECT_EQ(startDateOf(u"2011-03-15"), dateOf(2011, 3, 15));
  EXPECT_EQ(startDateOf(u"2011-3-1"), dateOf(2011, 3, 1));
  EXPECT_EQ(startDateOf(u"2011-03-15 13:45:00.000"), dateOf(2011, 3, 15, 13, 45));
  EXPECT_EQ(startDateOf(u"2011-03-15 13:45:07.250"), dateOf(2011, 3, 15, 13, 45, 7, 250));
  for (const char16_t* unparseable : {u"15.03.2011", u"2011-03-15 13:45:00", u"2011-02-31",
                                      u"2011-13-01", u"1600-12-31", u"2011-03-15 24:00:00.000",
                                      u"2011-03-15 13:60:00.000", u"2011-03-15 13:45:00.1000",
                                      u"-2011-03-15", u"2011--3-15", u"2011-03"})
    EXPECT_FALSE(startDateOf(unparseable).isSet()) << std::u16string(unparseable).size();
  // Fields are 16-bit: 67547 is 2011 once cut to 16 bits.
  EXPECT_EQ(startDateOf(u"67547-03-15"), dateOf(2011, 3, 15));
  // Leading white space is skipped in a field, but a space before the day
  // starts the time part.
  EXPECT_EQ(startDateOf(u"2011- 3-1"), dateOf(2011, 3, 1));
  EXPECT_FALSE(startDateOf(u"2011-3- 1").isSet());

  // A failed parse leaves its target as it was.
  FileTime kept = dateOf(2020, 1, 1);
  EXPECT_FALSE(parseConfigDate(u"2011-02-29", kept));
  EXPECT_EQ(kept, dateOf(2020, 1, 1));
  EXPECT_TRUE(parseConfigDate(u"2012-02-29", kept));
  EXPECT_EQ(kept, dateOf(2012, 2, 29));

  ScanConfigValidators result;
  ASSERT_TRUE(readScanConfigValidators(
      validators(u"<Validator><Type>JAR</Type><StartDate/><EndDate>2030-12-31 23:59:59.999</EndDate>"
                 u"</Validator>"),
      result));
  EXPECT_FALSE(result.validators[0]->startDate.isSet());
  EXPECT_EQ(result.validators[0]->endDate, dateOf(2030, 12, 31, 23, 59, 59, 999));
}

TEST(ScanConfig, WithoutAValidatorNothingIsRead) {
  Session session;
  const std::u16string rest =
      u"<Products><SimpleProduct><DisplayName>A</DisplayName></SimpleProduct></Products>"
      u"<ProductInfoTarget><Target><NameSubstring>A</NameSubstring><URL>https://a.example/</URL>"
      u"</Target></ProductInfoTarget>";
  for (const std::u16string& text : std::vector<std::u16string>{
           u"<ScanConfig><Validators/>" + rest + u"</ScanConfig>",
        u"<Other><Validators><Validator><Type>PE</Type></Validator></Validators></Other>",
        u"<ScanConfig><Validators><Validator><Type>PE</Type>" + rest, std::u16string()}) {
    ScanContext& context = session.parse(text);
    EXPECT_EQ(context.validatorFactory, nullptr);
    EXPECT_EQ(context.fileFilter, nullptr);
    EXPECT_TRUE(context.validators.empty());
    EXPECT_TRUE(context.finders.empty());
    EXPECT_TRUE(context.products.empty());
    EXPECT_TRUE(context.updateLinks.empty());
  }
}

TEST(ScanConfig, SimpleProductsTakeTokensFoldersSuffixesAndIcons) {
  Session session;
  session.machine.makeFolder("Program Files (x86)/Common Files/Orvia/Notes");
  session.context.folderTokens = {{u"[Common]", u"C:\\Program Files (x86)\\Common Files"},
                                  {u"[OrviaCommon]", u"C:\\Program Files (x86)\\Common Files\\Orvia"}};
  ScanContext& context = session.parse(withValidator(
      u"<Products>"
      u"<SimpleProduct><DisplayName>Orvia Notes</DisplayName>"
      u"<Folders><Folder>[OrviaCommon]\\Notes</Folder><Folder>Notes\\[Common]</Folder></Folders>"
      u"<Folders><!-- more --><Folder>[Bogus]\\x</Folder><Folder>[common]\\y</Folder></Folders>"
      u"<ExcludedSuffixes><ExcludedSuffix>[Common]\\Cache</ExcludedSuffix>"
      u"<ExcludedSuffix></ExcludedSuffix></ExcludedSuffixes>"
      u"<icon>" + std::u16string(kPng) + u"</icon></SimpleProduct>"
      u"<SimpleProduct/>"
      u"<SimpleProduct><DisplayName>Missing</DisplayName><Folders><Folder>C:\\Nowhere</Folder></Folders></SimpleProduct>"
      u"</Products>"));
  ASSERT_EQ(context.finders.size(), 2u);
  ASSERT_EQ(context.products.size(), 2u);
  auto* notes = dynamic_cast<FolderFinder*>(context.finders[0].get());
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ(context.products[0], notes->product.get());
  EXPECT_EQ(notes->product->displayName, u"Orvia Notes");
  EXPECT_EQ(notes->folders, (std::set<std::u16string>{
                                u"C:\\Program Files (x86)\\Common Files\\Orvia\\Notes",
                                u"Notes\\[Common]", u"[Bogus]\\x", u"[common]\\y"}));
  EXPECT_EQ(notes->excludedSuffixes,
            (std::vector<std::u16string>{u"C:\\Program Files (x86)\\Common Files\\Cache", u""}));
  EXPECT_TRUE(notes->product->installed);
  EXPECT_FALSE(notes->product->excluded);
  ASSERT_FALSE(notes->product->iconPath.empty());
  EXPECT_EQ(notes->product->iconPath.rfind(context.scratchFolder + u"\\{", 0), 0u);
  std::vector<std::uint8_t> icon = fixtures::readBytes(session.hostPath(notes->product->iconPath));
  ASSERT_GE(icon.size(), 8u);
  EXPECT_EQ(std::string(icon.begin() + 1, icon.begin() + 4), "PNG");

  const ProductRecord* missing = context.products[1];
  EXPECT_EQ(missing->displayName, u"Missing");
  EXPECT_FALSE(missing->installed);
  EXPECT_TRUE(missing->excluded);
  EXPECT_EQ(missing->iconPath, u"");
}

TEST(ScanConfig, MsiProductsAskWindowsInstallerAndKeepAConfiguredName) {
  Session session;
  session.machine.addInstalledProduct(u"{11111111-2222-3333-4444-555555555555}", u"Installed Name",
                                      u"C:\\Apps\\Known");
  ScanContext& context = session.parse(withValidator(
      u"<Products>"
      u"<MSIProduct><DisplayName></DisplayName><ProductCode>{11111111-2222-3333-4444-555555555555}</ProductCode></MSIProduct>"
      u"<Unknown><DisplayName>skipped</DisplayName></Unknown>"
      u"<MSIProduct><DisplayName>Configured</DisplayName><ProductCode>{11111111-2222-3333-4444-555555555555}</ProductCode>"
      u"<icon>" + std::u16string(kPng) + u"</icon><icon>" + std::u16string(kPng) + u"</icon></MSIProduct>"
      u"<MSIProduct><DisplayName>Not here</DisplayName><ProductCode>{99999999-2222-3333-4444-555555555555}</ProductCode></MSIProduct>"
      u"</Products>"));
  ASSERT_EQ(context.finders.size(), 3u);
  ASSERT_EQ(context.products.size(), 3u);
  auto* first = dynamic_cast<MsiFileFinder*>(context.finders[0].get());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->product->displayName, u"Installed Name");
  EXPECT_EQ(first->product->id, "{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(first->record().installLocation, u"C:\\Apps\\Known");
  EXPECT_TRUE(first->product->installed);

  EXPECT_EQ(context.products[1]->displayName, u"Configured");
  EXPECT_FALSE(context.products[1]->iconPath.empty());
  EXPECT_EQ(context.products[2]->displayName, u"Not here");
  EXPECT_FALSE(context.products[2]->installed);
  EXPECT_TRUE(context.products[2]->excluded);
  // Every icon element wrote a file of its own.
  size_t icons = 0;
  for (const auto& entry : std::filesystem::directory_iterator(session.hostPath(context.scratchFolder)))
    icons += entry.path().filename().string().front() == '{';
  EXPECT_EQ(icons, 2u);
}

TEST(ScanConfig, IconsNeedAScratchFolder) {
  TestPrefix machine(TestPrefix::Arch::Win64);
  ScopedEnvironment tmpdir("TMPDIR", "/dev/null/cannot-exist");
  ScanContext context;
  ASSERT_TRUE(context.scratchFolder.empty());
  parseScanConfig(withValidator(u"<Products><SimpleProduct><DisplayName>A</DisplayName><icon>" +
                                std::u16string(kPng) + u"</icon></SimpleProduct></Products>"),
                  context);
  ASSERT_EQ(context.products.size(), 1u);
  EXPECT_EQ(context.products[0]->iconPath, u"");
  for (const auto& entry : std::filesystem::directory_iterator(machine.driveC()))
    EXPECT_NE(entry.path().filename().string().front(), '{') << entry.path();
}

TEST(ScanConfig, TargetsNeedBothPartsAndTheLaterOneWins) {
  Session session;
  ScanContext& context = session.parse(withValidator(
      u"<ProductInfoTarget>"
      u"<Target><NameSubstring>Notes</NameSubstring><URL>https://old.example/</URL></Target>"
      u"<Target><URL>https://no-name.example/</URL></Target>"
      u"<Target><NameSubstring>No URL</NameSubstring><URL></URL></Target>"
      u"<Target><!-- c --><URL>https://new.example/</URL><NameSubstring>Notes</NameSubstring></Target>"
      u"<Target><NameSubstring>Draw</NameSubstring><URL>https://draw.example/</URL></Target>"
      u"</ProductInfoTarget>"));
  EXPECT_EQ(context.updateLinks, (std::map<std::u16string, std::u16string>{
                                     {u"Draw", u"https://draw.example/"},
                                     {u"Notes", u"https://new.example/"}}));
}

TEST(ScanConfig, ShippedConfigurationHasItsShape) {
  Session session;
  collectFolderTokens(session.context.folderTokens);
  std::span<const std::uint8_t> bytes = platform::findResource(platform::kResourceScanConfig, 171);
  std::u16string text;
  ASSERT_TRUE(utf8ToWide(std::string(bytes.begin(), bytes.end()), text));
  ScanContext& context = session.parse(text);

  ASSERT_EQ(context.validators.size(), 2u);
  ValidatorBase* pe = context.validators[0].get();
  ValidatorBase* jar = context.validators[1].get();
  ASSERT_NE(dynamic_cast<PEValidator*>(pe), nullptr);
  ASSERT_NE(dynamic_cast<JarValidator*>(jar), nullptr);
  // The signer of the committed vendor test PKI, by its thumbprint.
  std::string thumbprint = fixtures::readLine(fixtures::folder("authenticode") + "/pki/orvia-signer.sha1");
  EXPECT_EQ(TestPrefix::utf8(pe->certificateHash), thumbprint);
  EXPECT_EQ(jar->certificateHash, pe->certificateHash);
  EXPECT_EQ(pe->companyName, u"Orvia Systems");
  EXPECT_EQ(jar->companyName, u"Orvia Systems");
  EXPECT_TRUE(pe->startDate.isSet());
  EXPECT_FALSE(pe->endDate.isSet());
  EXPECT_FALSE(jar->startDate.isSet());
  for (const char16_t* path : {u"C:\\a.exe", u"C:\\a.DLL", u"C:\\a.ocx", u"C:\\a.sys"})
    EXPECT_EQ(context.validatorFactory->getValidator(path), pe) << TestPrefix::utf8(path);
  EXPECT_EQ(context.validatorFactory->getValidator(u"C:\\a.zip"), jar);
  EXPECT_FALSE(context.fileFilter->accept(u"C:\\a.txt"));

  // One Windows Installer product and four folder products, each with an
  // icon, their folders resolved through the tokens.
  ASSERT_GE(context.finders.size(), 5u);
  ASSERT_GE(context.products.size(), 5u);
  EXPECT_NE(dynamic_cast<MsiFileFinder*>(context.finders[0].get()), nullptr);
  size_t folderProducts = 0;
  for (size_t i = 0; i < 5; ++i) {
    auto* finder = dynamic_cast<FolderFinder*>(context.finders[i].get());
    ASSERT_NE(finder, nullptr);
    folderProducts += dynamic_cast<MsiFileFinder*>(finder) == nullptr;
    EXPECT_EQ(context.products[i], finder->product.get());
    EXPECT_EQ(finder->product->displayName.rfind(u"Orvia ", 0), 0u);
    std::vector<std::uint8_t> icon = fixtures::readBytes(session.hostPath(finder->product->iconPath));
    ASSERT_GE(icon.size(), 8u);
    EXPECT_EQ(std::string(icon.begin() + 1, icon.begin() + 4), "PNG");
    for (const std::u16string& folder : finder->folders)
      EXPECT_EQ(folder.rfind(u"C:\\", 0), 0u) << TestPrefix::utf8(folder);
  }
  EXPECT_EQ(folderProducts, 4u);
  auto* viewer = dynamic_cast<FolderFinder*>(context.finders[1].get());
  EXPECT_EQ(viewer->excludedSuffixes.size(), 10u);
  EXPECT_EQ(dynamic_cast<FolderFinder*>(context.finders[2].get())->folders.size(), 2u);
  EXPECT_EQ(context.updateLinks.size(), 20u);
  for (const auto& [name, url] : context.updateLinks)
    EXPECT_NE(url.find(u".example/"), std::u16string::npos) << TestPrefix::utf8(url);
}
