// The trust check on real signed files made elsewhere (the shared samples,
// when they are there). Their verdicts here follow our trust rules; where
// other verifiers answer differently, the case says why.
#include "platform/TrustStores.h"
#include "platform/WinTrust.h"

#include "AuthenticodeFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace platform;

class AuthenticodeSamples : public ::testing::Test {
protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(fixtures::samples("authenticode")))
      GTEST_SKIP() << "no shared samples at " << fixtures::samples("authenticode");
  }

  // The check with a Root of the given certificates only.
  std::uint32_t statusOf(const std::string& sample, const std::string& trusted = "") {
    TrustStoreLocations locations;
    locations.trusted = trusted;
    locations.rootList = false;
    auto stores = loadTrustStores(locations);
    return winVerifyTrust(toWindowsPath(fixtures::samples("authenticode/" + sample)), *stores)
        .status;
  }
};

} // namespace

TEST_F(AuthenticodeSamples, UnsignedAndSelfSignedImages) {
  EXPECT_EQ(statusOf("32/pegoat.exe"), kTrustNoSignature);
  // Correct digests, signed by a self-signed certificate nobody trusts.
  EXPECT_EQ(statusOf("32/pegoat-authenticode.exe"), kCertUntrustedRoot);
  EXPECT_EQ(statusOf("64/pegoat-authenticode.exe"), kCertUntrustedRoot);
  // Only the first of the nested signatures is examined.
  EXPECT_EQ(statusOf("32/pegoat-authenticode-nested.exe"), kCertUntrustedRoot);
  EXPECT_EQ(statusOf("64/pegoat-authenticode-nested.exe"), kCertUntrustedRoot);
  // Trusted, the signer (valid 2020-04-12 to 2021-04-12, no time-stamp) has
  // expired by now.
  const std::string pegoatSigner = fixtures::authenticode("samples/pegoat-authenticode.pem");
  EXPECT_EQ(statusOf("32/pegoat-authenticode.exe", pegoatSigner), kCertExpired);
  EXPECT_EQ(statusOf("64/pegoat-authenticode.exe", pegoatSigner), kCertExpired);
}

TEST_F(AuthenticodeSamples, SignerWithoutCodeSigningUsage) {
  // A TLS server certificate used to sign code, with an RFC 3161 time-stamp:
  // with its chain trusted, the usage is what fails.
  EXPECT_EQ(statusOf("A_SSLippery_Slope.exe",
                     fixtures::authenticode("samples/A_SSLippery_Slope.pem")),
            kCertWrongUsage);
}

TEST_F(AuthenticodeSamples, DataBehindTheTableIsPartOfTheDigest) {
  // The digest of this file covers the 2,600 bytes behind its certificate
  // table: digested as the platform digests, it matches (verifiers that stop
  // at the table report a mismatch or no signature). What fails is the
  // signer certificate's own signature, which its issuer did not make.
  EXPECT_EQ(statusOf("YourPhone.exe"), kTrustCertSignature);
}
