// fennick-verify's reports as printed: the verdict classes, the CSV record
// of a report, and the stream's framing, --only choice and counts.
#include "cli/FileReport.h"
#include "cli/ReportStream.h"
#include "validation/ValidationResult.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

FileReport reportOf(const std::string& path, std::optional<int> result) {
  FileReport report;
  report.path = path;
  report.result = result;
  if (result) {
    report.validator = "PE";
    report.trustStatus = result == ValidationResult::NoSignature ? 0x800B0100u : 0u;
    report.signer = SignerInfo{};
  } else {
    report.note = "no validator takes this file type";
  }
  return report;
}

// What a stream printed to a temporary file.
struct Printed {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::tmpfile(), &std::fclose};

  std::string text() {
    std::fflush(file.get());
    std::rewind(file.get());
    std::string out;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
      out.append(buffer, got);
    return out;
  }
};

} // namespace

TEST(FileReport, EveryResultFallsInOneVerdictClass) {
  EXPECT_EQ(verdictClassOf(reportOf("a", ValidationResult::Verified)), VerdictClass::Verified);
  EXPECT_EQ(verdictClassOf(reportOf("a", ValidationResult::Affected)), VerdictClass::Affected);
  EXPECT_EQ(verdictClassOf(reportOf("a", ValidationResult::NoSignature)), VerdictClass::Unsigned);
  for (int failure : {ValidationResult::FileNotFound, ValidationResult::BadSignature,
                      ValidationResult::Revoked, ValidationResult::ExplicitlyDistrusted,
                      ValidationResult::OtherTrustFailure})
    EXPECT_EQ(verdictClassOf(reportOf("a", failure)), VerdictClass::Failed) << failure;
  EXPECT_EQ(verdictClassOf(reportOf("a", std::nullopt)), VerdictClass::Failed);
  EXPECT_EQ(verdictClassNamed("affected"), VerdictClass::Affected);
  EXPECT_EQ(verdictClassNamed("unsigned"), VerdictClass::Unsigned);
  EXPECT_EQ(verdictClassNamed("verified"), VerdictClass::Verified);
  EXPECT_EQ(verdictClassNamed("failed"), VerdictClass::Failed);
  EXPECT_EQ(verdictClassNamed("Affected"), std::nullopt);
  EXPECT_EQ(verdictClassNamed(""), std::nullopt);
}

TEST(FileReport, CsvRecordHoldsTheJsonFieldsInOrder) {
  FileReport report = reportOf("C:\\a,b.exe", ValidationResult::Affected);
  report.signer->subjectNames = u"Orvia \"Systems\"{|}Root";
  report.signer->thumbprint = u"BBCA";
  report.signer->signingTime = FileTime{0x256D4000u, 0x01BF53EBu}; // 2000-01-01
  EXPECT_EQ(csvHeader(),
            "path,validator,result,resultName,trustStatus,subjectNames,thumbprint,signingTime,"
            "note\r\n");
  EXPECT_EQ(csvLine(report), "\"C:\\a,b.exe\",PE,6,Affected,0x00000000,"
                             "\"Orvia \"\"Systems\"\"{|}Root\",BBCA,2000-01-01T00:00:00.000Z,\r\n");
  EXPECT_EQ(csvLine(reportOf("x.txt", std::nullopt)),
            "x.txt,,,,,,,,no validator takes this file type\r\n");
}

TEST(ReportStream, JsonIsOneArrayWhateverOnlyLetsThrough) {
  Printed none, some;
  ReportStream empty(none.file.get(), ReportStream::Format::Json, {VerdictClass::Affected});
  empty.begin();
  empty.add(reportOf("a.exe", ValidationResult::Verified));
  empty.end();
  EXPECT_EQ(none.text(), "[\n]\n");
  EXPECT_EQ(empty.counts().verified, 1u);

  ReportStream stream(some.file.get(), ReportStream::Format::Json,
                      {VerdictClass::Unsigned, VerdictClass::Failed});
  stream.begin();
  stream.add(reportOf("a.exe", ValidationResult::Verified));
  stream.add(reportOf("b.exe", ValidationResult::NoSignature));
  stream.add(reportOf("c.exe", ValidationResult::Affected));
  stream.add(reportOf("d.txt", std::nullopt));
  stream.end();
  const std::string text = some.text();
  EXPECT_EQ(text.rfind("[\n{\"path\": \"b.exe\"", 0), 0u) << text;
  EXPECT_NE(text.find("},\n{\"path\": \"d.txt\""), std::string::npos) << text;
  EXPECT_EQ(text.find("a.exe"), std::string::npos);
  EXPECT_EQ(text.find("c.exe"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 3), "\n]\n");
  // Counted whether printed or not.
  EXPECT_EQ(stream.counts().verified, 1u);
  EXPECT_EQ(stream.counts().unsignedFiles, 1u);
  EXPECT_EQ(stream.counts().affected, 1u);
  EXPECT_EQ(stream.counts().failed, 1u);
  EXPECT_EQ(stream.counts().total(), 4u);
}
