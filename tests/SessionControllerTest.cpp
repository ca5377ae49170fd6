// The session controller through a recording script sink: preparation,
// the statements it sends, the session states and the ways out.
#include "Fixtures.h"
#include "platform/Files.h"
#include "platform/TrustStores.h"
#include "session/ScanContext.h"
#include "session/ScanJob.h"
#include "session/ScriptSink.h"
#include "session/SessionController.h"
#include "TestPrefix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class RecordingSink : public ScriptSink {
public:
  void runScript(const std::u16string& statement) override { statements.push_back(statement); }
  std::vector<std::u16string> statements;
};

// A controller whose host records everything it is asked to do.
struct Harness {
  explicit Harness(bool answerYes = false) : answer(answerYes) {
    SessionController::Host host;
    host.scripts = &sink;
    host.confirm = [this](const std::u16string& text, const std::u16string& caption) {
      questions.push_back(text);
      captions.push_back(caption);
      return answer;
    };
    host.endDialog = [this] { ++ended; };
    controller = std::make_unique<SessionController>(host);
  }

  void waitForScan() {
    while (controller->getScanProgress() < 100)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    while (controller->scanning())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  RecordingSink sink;
  bool answer;
  std::vector<std::u16string> questions, captions;
  int ended = 0;
  std::unique_ptr<SessionController> controller;
};

// A configuration with one PE validator and `installedProducts` folder
// products whose folders exist (and hold no files).
std::u16string folderProductsConfig(TestPrefix& prefix, int installedProducts) {
  std::u16string products;
  for (int i = 0; i < installedProducts; ++i) {
    std::string name = "Product" + std::to_string(i);
    std::filesystem::create_directories(prefix.driveC(name));
    std::u16string wideName(name.begin(), name.end());
    products += u"<SimpleProduct><DisplayName>" + wideName + u"</DisplayName><Folders><Folder>C:\\" +
                wideName + u"</Folder></Folders></SimpleProduct>";
  }
  return u"<ScanConfig><Validators><Validator><Type>PE</Type><FileTypes><Extension>dll</Extension>"
         u"</FileTypes><CertificateHash>00</CertificateHash></Validator></Validators><Products>" +
         products + u"</Products></ScanConfig>";
}

} // namespace

TEST(SessionController, ApplicationPathStatementDoublesBackslashesAndEscapesApostrophes) {
  EXPECT_EQ(applicationPathStatement(u"C:\\Tools\\app.exe"),
            u"setApplicationPath('res://C:\\\\Tools\\\\app.exe/');");
  EXPECT_EQ(applicationPathStatement(u"C:\\O'Brien\\app.exe"),
            u"setApplicationPath('res://C:\\\\O\\'Brien\\\\app.exe/');");
}

TEST(SessionController, UIStringsAreSentInOrderWithDictionaryEscapesKept) {
  setenv("LANG", "en_US.UTF-8", 1);
  unsetenv("LANGUAGE");
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  Harness harness;
  harness.controller->getUIStrings();
  const auto& s = harness.sink.statements;
  ASSERT_EQ(s.size(), 18u);
  const char16_t* ids[] = {u"eulaScreenTitle", u"scanScreenTitle", u"progressScreenTitle",
                           u"resultsScreenTitle", u"eulaScreenDeclineBtn", u"eulaScreenAcceptBtn",
                           u"scanScreenScanBtn", u"resultsScreenQuitBtn", u"resultsScreenRescanBtn",
                           u"moreInfoLinkTxt1", u"moreInfoLinkTxt2", u"feedbackLinkTxt"};
  for (size_t i = 0; i < 12; ++i)
    EXPECT_EQ(s[i].rfind(u"setHTMLString('" + std::u16string(ids[i]) + u"', '", 0), 0u) << i;
  EXPECT_EQ(s[0], u"setHTMLString('eulaScreenTitle', 'Orvia Software License Agreement')");
  EXPECT_EQ(s[12].rfind(u"setLink('moreInfoLinkTxt1', 'http", 0), 0u);
  EXPECT_EQ(s[13].rfind(u"setLink('moreInfoLinkTxt2', 'http", 0), 0u);
  EXPECT_EQ(s[14].rfind(u"setLink('feedbackLinkTxt', 'http", 0), 0u);
  EXPECT_EQ(s[15], u"setHTMLString('progressText', 'Scanning Orvia Runtimes & Applications...')");
  EXPECT_EQ(s[16].rfind(u"setHTMLString('scanScreenPara', 'The Orvia Fennick is designed", 0), 0u);
  EXPECT_EQ(std::count(s[16].begin(), s[16].end(), u'<'), 4); // two <br><br>
  EXPECT_EQ(s[17], u"setEULASelectedLang('201')");
}

TEST(SessionController, GermanUserGetsGermanTextsAndAgreementPage) {
  setenv("LANG", "de_DE.UTF-8", 1);
  unsetenv("LANGUAGE");
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  Harness harness;
  harness.controller->getUIStrings();
  ASSERT_EQ(harness.sink.statements.size(), 18u);
  EXPECT_EQ(harness.sink.statements.back(), u"setEULASelectedLang('210')");
  EXPECT_EQ(harness.sink.statements[1].find(u"'Welcome'"), std::u16string::npos);
}

TEST(SessionController, NothingRunsBeforeAScanAndQuitAsksFirst) {
  TestPrefix prefix;
  Harness harness(/*answerYes=*/false);
  EXPECT_EQ(harness.controller->getScanProgress(), 0);
  harness.controller->quitApplication();
  ASSERT_EQ(harness.questions.size(), 1u);
  EXPECT_EQ(harness.captions[0], u"Orvia Fennick");
  EXPECT_FALSE(harness.questions[0].empty());
  EXPECT_EQ(harness.ended, 0); // No leaves everything as it was
  harness.answer = true;
  harness.controller->quitApplication();
  EXPECT_EQ(harness.ended, 1);
  harness.controller->quitApplicationWithoutConfirmation();
  EXPECT_EQ(harness.ended, 2);
}

TEST(SessionController, QuittingIsRefusedWhileScanning) {
  TestPrefix prefix;
  Harness harness(/*answerYes=*/true);
  harness.controller->prepareSession();
  ScanJob* job = harness.controller->job();
  ScanContext* context = harness.controller->context();
  const std::u16string scratch = context->scratchFolder;
  job->running = true; // the Scanning state
  harness.controller->quitApplication();
  harness.controller->quitApplicationWithoutConfirmation();
  harness.controller->scanSystem(); // ignored as well
  EXPECT_TRUE(harness.questions.empty());
  EXPECT_EQ(harness.ended, 0);
  // The second scan neither replaced the session nor started a worker.
  ASSERT_EQ(harness.controller->job(), job);
  ASSERT_EQ(harness.controller->context(), context);
  EXPECT_FALSE(job->workerThread.joinable());
  EXPECT_EQ(context->scratchFolder, scratch);
  EXPECT_TRUE(platform::pathIsDirectory(scratch));
  job->running = false;
}

TEST(SessionController, ScanDisablesCloseAndResultsEnableIt) {
  TestPrefix prefix;
  Harness harness;
  harness.controller->setScanConfigText(folderProductsConfig(prefix, 3));
  std::vector<bool> closeStates;
  harness.controller->scanSystem();
  EXPECT_FALSE(harness.controller->closeAllowed());
  harness.waitForScan();
  EXPECT_FALSE(harness.controller->closeAllowed()); // Finished: still disabled
  harness.controller->getSystemScanResult();
  EXPECT_TRUE(harness.controller->closeAllowed());
  ASSERT_FALSE(harness.sink.statements.empty());
  const std::u16string& results = harness.sink.statements.back();
  EXPECT_EQ(results.rfind(u"updateResults(\"<table style='width: 580px'>", 0), 0u); // 44+3*78
  // No Defect: no Defects.log.
  EXPECT_FALSE(platform::pathFileExists(harness.controller->context()->scratchFolder +
                                        u"\\Defects.log"));
}

TEST(SessionController, FourUpToDateProductsNarrowTheTable) {
  TestPrefix prefix;
  Harness harness;
  harness.controller->setScanConfigText(folderProductsConfig(prefix, 4));
  harness.controller->scanSystem();
  harness.waitForScan();
  harness.controller->getSystemScanResult();
  EXPECT_EQ(harness.sink.statements.back().rfind(u"updateResults(\"<table style='width: 560px'>", 0),
            0u); // 44+4*78 = 356
}

TEST(SessionController, EachScanReplacesTheSessionAndItsScratchFolder) {
  TestPrefix prefix;
  Harness harness;
  harness.controller->setScanConfigText(folderProductsConfig(prefix, 1));
  harness.controller->scanSystem();
  harness.waitForScan();
  std::u16string first = harness.controller->context()->scratchFolder;
  ASSERT_FALSE(first.empty());
  EXPECT_TRUE(platform::pathIsDirectory(first));
  harness.controller->scanSystem();
  harness.waitForScan();
  std::u16string second = harness.controller->context()->scratchFolder;
  EXPECT_NE(first, second);
  EXPECT_FALSE(platform::pathFileExists(first));
  EXPECT_TRUE(platform::pathIsDirectory(second));
  harness.controller.reset(); // the end of the dialog removes the last one
  EXPECT_FALSE(platform::pathFileExists(second));
}

namespace {

// A configuration with the vendor criteria over folder products C:\P0..;
// the first `affected` of them hold a vendor-signed image, the rest are
// installed but empty.
std::u16string vendorConfig(TestPrefix& prefix, int affected, int total) {
  std::string image = fixtures::folder("authenticode") + "/pe/orvia-sha256-32.exe";
  std::string thumbprint = fixtures::readLine(fixtures::folder("authenticode") + "/pki/orvia-signer.sha1");
  std::u16string products;
  for (int i = 0; i < total; ++i) {
    std::string name = "P" + std::to_string(i);
    std::filesystem::create_directories(prefix.driveC(name));
    if (i < affected)
      std::filesystem::copy_file(image, prefix.driveC(name + "/signed.exe"));
    std::u16string wideName(name.begin(), name.end());
    products += u"<SimpleProduct><DisplayName>" + wideName + u"</DisplayName><Folders><Folder>C:\\" +
                wideName + u"</Folder></Folders></SimpleProduct>";
  }
  return u"<ScanConfig><Validators><Validator><Type>PE</Type><FileTypes><Extension>exe</Extension>"
         u"</FileTypes><CertificateHash>" + std::u16string(thumbprint.begin(), thumbprint.end()) +
         u"</CertificateHash><CompanyName>Orvia Systems</CompanyName><StartDate>2022-03-01</StartDate>"
         u"</Validator></Validators><Products>" + products + u"</Products></ScanConfig>";
}

std::u16string scanAndShowResults(Harness& harness) {
  harness.controller->getUIStrings();
  harness.controller->scanSystem();
  harness.waitForScan();
  harness.controller->getSystemScanResult();
  return harness.sink.statements.back();
}

void trustTheVendor() {
  platform::TrustStoreLocations locations;
  locations.trusted = fixtures::folder("authenticode") + "/trust/trusted";
  locations.rootList = false;
  platform::useProcessTrustStores(platform::loadTrustStores(locations));
}

void useLanguage(const char* lang) {
  setenv("LANG", lang, 1);
  unsetenv("LANGUAGE");
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
}

} // namespace

TEST(SessionController, OneAffectedAndThreeUpToDateGiveTheNarrowTable) {
  trustTheVendor();
  useLanguage("en_US.UTF-8");
  TestPrefix prefix;
  Harness harness;
  harness.controller->setScanConfigText(vendorConfig(prefix, 1, 4));
  std::u16string results = scanAndShowResults(harness);
  EXPECT_EQ(results.rfind(u"updateResults(\"<table style='width: 560px'>", 0), 0u); // 400
  EXPECT_LT(results.find(u"Affected Products"), results.find(u"> P0"));
  EXPECT_LT(results.find(u"> P0"), results.find(u"Products Not Affected"));
  // The report names the affected file under its product.
  std::optional<std::string> log =
      platform::toHostPath(harness.controller->context()->scratchFolder + u"\\Defects.log");
  ASSERT_TRUE(log);
  std::string text = fixtures::readLine(*log);
  EXPECT_EQ(text, std::string(150, '-') + "\r");
}

TEST(SessionController, GermanAffectedRowsAreTaller) {
  trustTheVendor();
  TestPrefix prefix;
  for (const char* lang : {"de_DE.UTF-8", "en_GB.UTF-8"}) {
    useLanguage(lang);
    Harness harness;
    harness.controller->setScanConfigText(vendorConfig(prefix, 3, 3));
    std::u16string results = scanAndShowResults(harness);
    std::u16string width = std::string(lang) == "de_DE.UTF-8" ? u"560" : u"580"; // 314 : 278
    EXPECT_EQ(results.rfind(u"updateResults(\"<table style='width: " + width + u"px'>", 0), 0u)
        << lang;
    EXPECT_EQ(harness.controller->job()->defects.size(), 3u);
    std::filesystem::remove_all(prefix.driveC());
    std::filesystem::create_directories(prefix.driveC());
  }
}
