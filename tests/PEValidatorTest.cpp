// PEValidator on the fixtures: the file check, the mapping of trust
// statuses, the signer facts it gathers and the affected rule over them.
#include "validation/PEValidator.h"

#include "platform/TrustStatus.h"
#include "platform/WindowsNamespace.h"
#include "platform/TrustStores.h"
#include "validation/ValidationResult.h"

#include "AuthenticodeFixtures.h"

#include <filesystem>
#include <gtest/gtest.h>


namespace {

// The validator checks against the process's stores: make them the fixture
// PKI's, whatever an earlier test of the process loaded.
void useFixtureStores() {
  platform::TrustStoreLocations locations;
  locations.trusted = fixtures::authenticode("trust/trusted");
  locations.disallowed = fixtures::authenticode("trust/disallowed");
  locations.crls = fixtures::authenticode("trust/crls");
  locations.rootList = false;
  platform::useProcessTrustStores(platform::loadTrustStores(locations));
}

class PEValidatorTest : public ::testing::Test {
protected:
  void SetUp() override { useFixtureStores(); }

  int validate(const std::string& name) { return validator.validate(fixtures::peImage(name)); }

  // Criteria that match the vendor's signer.
  void matchVendor() {
    validator.certificateHash = fixtures::thumbprintOf("orvia-signer");
    validator.companyName = u"orvia systems";
  }

  PEValidator validator;
};

} // namespace

TEST(PEValidatorMapping, TrustStatusesMapToResults) {
  EXPECT_EQ(resultOfTrustStatus(platform::kTrustSuccess), ValidationResult::Verified);
  EXPECT_EQ(resultOfTrustStatus(platform::kTrustNoSignature), ValidationResult::NoSignature);
  EXPECT_EQ(resultOfTrustStatus(platform::kTrustBadDigest), ValidationResult::BadSignature);
  EXPECT_EQ(resultOfTrustStatus(platform::kCertRevoked), ValidationResult::Revoked);
  EXPECT_EQ(resultOfTrustStatus(platform::kTrustExplicitDistrust),
            ValidationResult::ExplicitlyDistrusted);
  for (std::uint32_t other : {platform::kTrustSubjectFormUnknown, platform::kCertExpired,
                              platform::kCertUntrustedRoot, platform::kTrustTimeStamp, 1u})
    EXPECT_EQ(resultOfTrustStatus(other), ValidationResult::OtherTrustFailure) << other;
}

TEST_F(PEValidatorTest, MissingFileIsNotChecked) {
  matchVendor();
  PECheckDetails details;
  EXPECT_EQ(validator.check(fixtures::peImage("no-such-file.exe"), details),
            ValidationResult::FileNotFound);
  EXPECT_FALSE(details.trustChecked);
  // A link that leads nowhere is no file either; a folder is there, but is
  // no file the trust check can read.
  const std::filesystem::path scratch =
      std::filesystem::path(::testing::TempDir()) / "pe-validator-missing";
  std::filesystem::remove_all(scratch);
  std::filesystem::create_directories(scratch / "folder.exe");
  std::filesystem::create_symlink(scratch / "gone.exe", scratch / "dangling.exe");
  EXPECT_EQ(validator.check(platform::absoluteWindowsPath((scratch / "dangling.exe").string()),
                            details),
            ValidationResult::FileNotFound);
  EXPECT_FALSE(details.trustChecked);
  EXPECT_EQ(validator.check(platform::absoluteWindowsPath((scratch / "folder.exe").string()),
                            details),
            ValidationResult::OtherTrustFailure);
  EXPECT_TRUE(details.trustChecked);
  std::filesystem::remove_all(scratch);
}

TEST_F(PEValidatorTest, ResultsWithoutCriteria) {
  EXPECT_EQ(validate("orvia-sha256-32.exe"), ValidationResult::Verified);
  EXPECT_EQ(validate("unsigned-64.exe"), ValidationResult::NoSignature);
  EXPECT_EQ(validate("tampered-section-32.exe"), ValidationResult::BadSignature);
  EXPECT_EQ(validate("revoked-32.exe"), ValidationResult::Revoked);
  EXPECT_EQ(validate("distrusted-64.exe"), ValidationResult::ExplicitlyDistrusted);
  EXPECT_EQ(validate("not-pe.txt"), ValidationResult::OtherTrustFailure);
  EXPECT_EQ(validate("expired-32.exe"), ValidationResult::OtherTrustFailure);
}

TEST_F(PEValidatorTest, SignerFactsComeFromTheChainAndTheTimeStamp) {
  PECheckDetails details;
  validator.check(fixtures::peImage("orvia-rfc3161-32.exe"), details);
  EXPECT_TRUE(details.trustChecked);
  EXPECT_EQ(details.trustStatus, platform::kTrustSuccess);
  EXPECT_EQ(details.signer.subjectNames,
            u"Orvia Systems Code Signing{|}Orvia Systems Code Signing CA{|}Orvia Systems Root CA");
  EXPECT_EQ(details.signer.thumbprint, fixtures::thumbprintOf("orvia-signer"));
  EXPECT_EQ(details.signer.signingTime, fixtures::utc(2022, 6, 1));
  // Without a countersigner there is no signing time.
  validator.check(fixtures::peImage("orvia-sha256-32.exe"), details);
  EXPECT_FALSE(details.signer.signingTime.isSet());
  // A failed check gathers nothing.
  validator.check(fixtures::peImage("expired-32.exe"), details);
  EXPECT_EQ(details.trustStatus, platform::kCertExpired);
  EXPECT_TRUE(details.signer.subjectNames.empty());
  EXPECT_TRUE(details.signer.thumbprint.empty());
}

TEST_F(PEValidatorTest, MatchingHashAndCompanyMakeAffected) {
  matchVendor();
  EXPECT_EQ(validate("orvia-sha256-32.exe"), ValidationResult::Affected);
  EXPECT_EQ(validate("orvia-pkcs9-64.exe"), ValidationResult::Affected);
  validator.companyName = u"Some Other Company";
  EXPECT_EQ(validate("orvia-sha256-32.exe"), ValidationResult::Verified);
  // Another signer's file does not match the vendor's thumbprint.
  matchVendor();
  EXPECT_EQ(validate("orvia-build-32.exe"), ValidationResult::Verified);
}

TEST_F(PEValidatorTest, CompanyMayBeNamedByAnIssuerOnly) {
  validator.certificateHash = fixtures::thumbprintOf("orvia-build");
  validator.companyName = u"Orvia Systems"; // the signer's name is "Build Service"
  EXPECT_EQ(validate("orvia-build-32.exe"), ValidationResult::Affected);
}

TEST_F(PEValidatorTest, StartAndEndDatesBoundTheTimeStamp) {
  matchVendor();
  // Time-stamped 2022-06-01 00:00:00.000; both bounds are inclusive.
  validator.startDate = fixtures::utc(2022, 6, 1);
  EXPECT_EQ(validate("orvia-rfc3161-32.exe"), ValidationResult::Affected);
  validator.startDate = fixtures::utc(2022, 6, 1, 0, 0, 0, 1);
  EXPECT_EQ(validate("orvia-rfc3161-32.exe"), ValidationResult::Verified);
  // A file without a time-stamp is affected whatever the dates say.
  EXPECT_EQ(validate("orvia-sha256-32.exe"), ValidationResult::Affected);
  validator.startDate = FileTime{};
  validator.endDate = fixtures::utc(2022, 5, 31);
  EXPECT_EQ(validate("orvia-rfc3161-32.exe"), ValidationResult::Verified);
  validator.endDate = fixtures::utc(2022, 6, 1);
  EXPECT_EQ(validate("orvia-rfc3161-32.exe"), ValidationResult::Affected);
}

TEST_F(PEValidatorTest, RevokedAndDistrustedSignersCanBeAffected) {
  validator.companyName = u"Orvia Systems";
  validator.certificateHash = fixtures::thumbprintOf("revoked");
  EXPECT_EQ(validate("revoked-32.exe"), ValidationResult::Affected);
  validator.certificateHash = fixtures::thumbprintOf("distrusted");
  EXPECT_EQ(validate("distrusted-64.exe"), ValidationResult::Affected);
  EXPECT_EQ(validate("revoked-32.exe"), ValidationResult::Revoked);
}

TEST_F(PEValidatorTest, OtherOutcomesAreNeverAffected) {
  matchVendor();
  EXPECT_EQ(validate("tampered-section-32.exe"), ValidationResult::BadSignature);
  EXPECT_EQ(validate("bad-rfc3161-32.exe"), ValidationResult::OtherTrustFailure);
  validator.certificateHash = fixtures::thumbprintOf("expired");
  validator.companyName.clear();
  EXPECT_EQ(validate("expired-32.exe"), ValidationResult::OtherTrustFailure);
  EXPECT_EQ(validate("expired-rfc3161-32.exe"), ValidationResult::Affected);
}
