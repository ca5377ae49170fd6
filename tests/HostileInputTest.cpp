// Hostile machines and documents: each gets a defined result, no crash, no
// hang, and memory that stays bounded.
#include "config/ScanConfig.h"
#include "finders/ProductRecord.h"
#include "Fixtures.h"
#include "platform/Registry.h"
#include "session/Defect.h"
#include "session/ScanContext.h"
#include "session/ScanJob.h"
#include "TestPrefix.h"
#include "util/Text.h"
#include "validation/ValidatorBase.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Runs the scan driver over a context on its worker and waits for it.
void scan(ScanContext& context, ScanJob& job) {
  job.context = &context;
  job.running = true;
  job.startWorker();
  job.workerThread.join();
}

} // namespace

TEST(HostileInput, EntityExpansionInScanConfigStaysSmall) {
  TestPrefix prefix;
  // Nine levels of ten references: a billion "lol"s if entities were expanded.
  std::u16string doctype = u"<!DOCTYPE ScanConfig [<!ENTITY l0 \"lol\">";
  for (int level = 1; level <= 9; ++level) {
    std::u16string previous = u"&l" + std::u16string(1, char16_t(u'0' + level - 1)) + u";";
    std::u16string body;
    for (int i = 0; i < 10; ++i)
      body += previous;
    doctype += u"<!ENTITY l" + std::u16string(1, char16_t(u'0' + level)) + u" \"" + body + u"\">";
  }
  doctype += u"]>";
  std::u16string text = u"<?xml version=\"1.0\"?>" + doctype +
                        u"<ScanConfig><Validators><Validator><Type>PE</Type>"
                        u"<FileTypes><Extension>exe</Extension></FileTypes>"
                        u"<CompanyName>&l9;</CompanyName><CertificateHash>AB</CertificateHash>"
                        u"</Validator></Validators></ScanConfig>";
  long before = peakKilobytes();
  ScanContext context;
  parseScanConfig(text, context);
  EXPECT_LT(peakKilobytes() - before, 64 * 1024);
  // Either the document is refused or the reference stays unexpanded.
  for (const auto& validator : context.validators)
    EXPECT_LT(validator->companyName.size(), 1000u);
}

TEST(HostileInput, BrokenRegistryLinesAreSkipped) {
  platform::RegistryHive hive;
  std::string text =
      "WINE REGISTRY Version 2\n"
      "[Software\\\\Good] 1\n\"Name\"=\"value\"\n"
      "[Unterminated key\n\"x\"=\"y\"\n"
      "\"NoKeyYet\n=\"=\n\"Bad\"=hex(2):zz,00\n\"Half\"=\"open\n"
      "\"Esc\"=\"\\x\\\n" +
      std::string(100000, '\\') + "\n[Software\\\\Good] 2\n\"After\"=dword:zzzz\n\"Last\"=\"ok\"\n";
  ASSERT_TRUE(hive.parse(text));
  const platform::RegistryValue* good = hive.find(u"Software\\Good", u"Name");
  ASSERT_NE(good, nullptr);
  std::u16string value;
  EXPECT_TRUE(good->text(value));
  EXPECT_EQ(value, u"value");
  EXPECT_NE(hive.find(u"Software\\Good", u"Last"), nullptr);
}

TEST(HostileInput, LinkLoopsAndBrokenImagesInAProductFolder) {
  TestPrefix prefix;
  std::string pe = fixtures::folder("authenticode") + "/pe/";
  fs::create_directories(prefix.driveC("App/sub"));
  fs::create_directory_symlink(prefix.driveC("App"), prefix.driveC("App/sub/up"));
  fs::create_directory_symlink(prefix.driveC("App/sub"), prefix.driveC("App/sub/self"));
  fs::create_symlink(prefix.driveC("App/sub/loop.exe"), prefix.driveC("App/sub/loop.exe"));
  fs::copy_file(pe + "table-past-end-32.exe", prefix.driveC("App/past-end.exe"));
  fs::copy_file(pe + "truncated-32.exe", prefix.driveC("App/sub/truncated.exe"));
  fs::copy_file(pe + "orvia-sha256-32.exe", prefix.driveC("App/signed.exe"));
  std::ofstream(prefix.driveC("App/empty.exe"));

  ScanContext context;
  parseScanConfig(u"<ScanConfig><Validators><Validator><Type>PE</Type><FileTypes>"
                  u"<Extension>exe</Extension></FileTypes><CertificateHash>00</CertificateHash>"
                  u"</Validator></Validators><Products><SimpleProduct><DisplayName>App"
                  u"</DisplayName><Folders><Folder>C:\\App</Folder></Folders></SimpleProduct>"
                  u"</Products></ScanConfig>",
                  context);
  ScanJob job;
  scan(context, job);
  EXPECT_EQ(job.progress, 100);
  EXPECT_FALSE(job.running);
  // Each real file once; the links back up and onto themselves add nothing.
  EXPECT_EQ(job.filesListed, 5);
  EXPECT_TRUE(job.defects.empty());
}
