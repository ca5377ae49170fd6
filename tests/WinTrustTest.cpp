// The Authenticode trust check on the generated fixtures: its status for
// every kind of file, the signer's chain, the countersigner count and the
// time as of which the signature is verified.
#include "platform/AuthenticodeCheck.h"
#include "platform/TrustStores.h"
#include "platform/WinTrust.h"
#include "validation/CertificateNames.h"

#include "AuthenticodeFixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace platform;

// Stores from the given lists, without the system's CA store.
std::shared_ptr<const TrustStores> stores(const std::string& trusted,
                                          const std::string& disallowed = "",
                                          const std::string& crls = "") {
  TrustStoreLocations locations;
  locations.trusted = trusted;
  locations.disallowed = disallowed;
  locations.crls = crls;
  locations.systemRoots = false;
  return loadTrustStores(locations);
}

// The fixture PKI's stores.
const TrustStores& fixtureStores() {
  static const auto fixture = stores(fixtures::authenticode("trust/trusted"),
                                     fixtures::authenticode("trust/disallowed"),
                                     fixtures::authenticode("trust/crls"));
  return *fixture;
}

TrustCheck verify(const std::string& name, const TrustStores& stores = fixtureStores()) {
  return winVerifyTrust(fixtures::peImage(name), stores);
}

std::vector<std::u16string> chainNames(const TrustCheck& check) {
  std::vector<std::u16string> names;
  for (const Certificate& certificate : check.chain)
    names.push_back(certificateDisplayName(certificate));
  return names;
}

struct StatusCase {
  const char* file;
  std::uint32_t status;
};

} // namespace

TEST(WinTrust, StatusOfEveryKindOfFile) {
  const StatusCase cases[] = {
      {"orvia-sha256-32.exe", kTrustSuccess},
      {"orvia-sha1-64.exe", kTrustSuccess},
      {"orvia-sha384-32.exe", kTrustSuccess},
      {"orvia-sha512-64.exe", kTrustSuccess},
      {"orvia-md5-32.exe", kTrustSuccess},
      {"orvia-build-32.exe", kTrustSuccess},
      {"other-64.exe", kTrustSuccess},          // ECDSA signer
      {"noeku-32.exe", kTrustSuccess},          // no extended key usage: any usage
      {"anchored-64.exe", kTrustSuccess},       // anchored at a trusted intermediate
      {"nested-32.exe", kTrustSuccess},
      {"padded-32.exe", kTrustSuccess},         // bytes after the block inside the entry
      {"two-entries-32.exe", kTrustSuccess},
      {"indefinite-length-32.exe", kTrustSuccess}, // BER block    // the first of two entries is the signature
      {"tampered-checksum-32.exe", kTrustSuccess},
      {"unsigned-32.exe", kTrustNoSignature},
      {"unsigned-64.exe", kTrustNoSignature},
      {"mz-only.exe", kTrustNoSignature},
      {"truncated-32.exe", kTrustNoSignature},
      {"table-past-end-32.exe", kTrustNoSignature},
      {"wrong-cert-type-32.exe", kTrustNoSignature},
      {"wrong-revision-32.exe", kTrustNoSignature},
      {"not-pe.txt", kTrustSubjectFormUnknown},
      {"empty.exe", kTrustSubjectFormUnknown},
      {"tampered-section-32.exe", kTrustBadDigest},
      {"tampered-signature-32.exe", kTrustBadDigest},
      {"appended-32.exe", kTrustBadDigest},     // bytes behind the table are digested
      {"revoked-32.exe", kCertRevoked},
      {"distrusted-64.exe", kTrustExplicitDistrust},
      {"expired-32.exe", kCertExpired},
      {"expired-late-rfc3161-32.exe", kCertExpired},
      {"wrongusage-32.exe", kCertWrongUsage},
      {"restricted-ca-64.exe", kCertWrongUsage}, // an issuer's usages bind the signer
      {"untrusted-32.exe", kCertUntrustedRoot},
      {"chaining-32.exe", kCertChaining},
      {"bad-rfc3161-32.exe", kTrustTimeStamp},
      {"bad-pkcs9-64.exe", kTrustCounterSigner},
      {"bad-pkcs9-digest-64.exe", kTrustCounterSigner},
      {"untrusted-tsa-32.exe", kCertUntrustedRoot},
  };
  for (const StatusCase& c : cases)
    EXPECT_EQ(verify(c.file).status, c.status) << c.file;
}

TEST(WinTrust, ChainRunsFromTheSignerToItsAnchor) {
  TrustCheck vendor = verify("orvia-sha256-32.exe");
  ASSERT_TRUE(vendor.hasSigner);
  EXPECT_EQ(chainNames(vendor), (std::vector<std::u16string>{u"Orvia Systems Code Signing",
                                                             u"Orvia Systems Code Signing CA",
                                                             u"Orvia Systems Root CA"}));
  EXPECT_EQ(certificateThumbprint(vendor.chain[0]), fixtures::thumbprintOf("orvia-signer"));
  // The trusted intermediate ends the chain although its root came along.
  TrustCheck anchored = verify("anchored-64.exe");
  ASSERT_TRUE(anchored.hasSigner);
  EXPECT_EQ(chainNames(anchored),
            (std::vector<std::u16string>{u"Anchored Signer", u"Anchor Issuing CA"}));
  // Only the first signature counts; the nested one is another signer's.
  EXPECT_EQ(chainNames(verify("nested-32.exe"))[0], u"Orvia Systems Code Signing");
}

TEST(WinTrust, RevokedAndDistrustedSignaturesStillNameTheirSigner) {
  TrustCheck revoked = verify("revoked-32.exe");
  ASSERT_TRUE(revoked.hasSigner);
  EXPECT_EQ(certificateThumbprint(revoked.chain.at(0)), fixtures::thumbprintOf("revoked"));
  EXPECT_EQ(revoked.chain.size(), 3u);
  TrustCheck distrusted = verify("distrusted-64.exe");
  ASSERT_TRUE(distrusted.hasSigner);
  EXPECT_EQ(certificateThumbprint(distrusted.chain.at(0)), fixtures::thumbprintOf("distrusted"));
  for (const char* failing : {"expired-32.exe", "tampered-section-32.exe", "untrusted-32.exe"}) {
    TrustCheck check = verify(failing);
    EXPECT_FALSE(check.hasSigner) << failing;
    EXPECT_TRUE(check.chain.empty()) << failing;
  }
}

TEST(WinTrust, TimeStampsGiveTheTimeOfVerification) {
  struct Stamped {
    const char* file;
    FileTime time;
  };
  const Stamped cases[] = {
      {"orvia-rfc3161-32.exe", fixtures::utc(2022, 6, 1)},
      {"orvia-rfc3161-sha1-64.exe", fixtures::utc(2023, 3, 1)},
      {"orvia-pkcs9-64.exe", fixtures::utc(2023, 3, 1)},
      // The signer expired in 2016; its time-stamps of 2015 keep it valid.
      {"expired-rfc3161-32.exe", fixtures::utc(2015, 6, 1)},
      {"expired-pkcs9-64.exe", fixtures::utc(2015, 6, 1)},
  };
  for (const Stamped& c : cases) {
    TrustCheck check = verify(c.file);
    EXPECT_EQ(check.status, kTrustSuccess) << c.file;
    EXPECT_EQ(check.counterSignerCount, 1u) << c.file;
    EXPECT_EQ(check.verifyAsOf, c.time) << c.file;
  }
}

TEST(WinTrust, SigningTimeAttributeIsNoTimeStamp) {
  // The signer vouches for a signing time of 2020-05-20, before its
  // certificate was valid; without a countersigner the check runs as of now.
  const FileTime before = currentFileTime();
  TrustCheck check = verify("orvia-sha256-32.exe");
  const FileTime after = currentFileTime();
  EXPECT_EQ(check.status, kTrustSuccess);
  EXPECT_EQ(check.counterSignerCount, 0u);
  EXPECT_GE(check.verifyAsOf.ticks(), before.ticks());
  EXPECT_LE(check.verifyAsOf.ticks(), after.ticks());
}

TEST(WinTrust, StoresComeFromFoldersBundlesAndDerFiles) {
  auto bundle = stores(fixtures::authenticode("trust/bundle.pem"));
  EXPECT_EQ(verify("orvia-sha256-32.exe", *bundle).status, kTrustSuccess);
  EXPECT_EQ(verify("other-64.exe", *bundle).status, kTrustSuccess);
  // Missing list elements are skipped; the DER root still anchors.
  auto der = stores("/nonexistent:" + fixtures::authenticode("trust/orvia-root.der"));
  EXPECT_EQ(verify("orvia-sha256-32.exe", *der).status, kTrustSuccess);
  EXPECT_EQ(verify("other-64.exe", *der).status, kCertChaining);
  // Without the CRL the revoked signer verifies; without a Root nothing does.
  auto noRevocation = stores(fixtures::authenticode("trust/trusted"));
  EXPECT_EQ(verify("revoked-32.exe", *noRevocation).status, kTrustSuccess);
  EXPECT_EQ(verify("distrusted-64.exe", *noRevocation).status, kTrustSuccess);
  auto empty = stores("");
  EXPECT_EQ(verify("orvia-sha256-32.exe", *empty).status, kCertChaining);
}

TEST(WinTrust, DistrustedIntermediateDistrustsEveryChainThroughIt) {
  auto distrusting = stores(fixtures::authenticode("trust/trusted"),
                            fixtures::authenticode("pki/orvia-intermediate.crt"));
  TrustCheck check = verify("orvia-build-32.exe", *distrusting);
  EXPECT_EQ(check.status, kTrustExplicitDistrust);
  EXPECT_TRUE(check.hasSigner);
  EXPECT_EQ(verify("other-64.exe", *distrusting).status, kTrustSuccess);
}

TEST(WinTrust, FilesThatCannotBeReadAreFileErrors) {
  EXPECT_EQ(verify("no-such-file.exe").status, kCryptFileError);
  EXPECT_EQ(winVerifyTrust(platform::toWindowsPath(fixtures::authenticode("pe")), fixtureStores())
                .status,
            kCryptFileError);
}

TEST(WinTrust, DamagedCopiesNeverVerifyAndNeverReadPastTheirEnd) {
  // Every prefix of a signed, time-stamped image, checked from a buffer of
  // exactly its length (the sanitizer build catches any read beyond).
  std::vector<std::uint8_t> image = fixtures::readBytes(fixtures::authenticode("pe/orvia-rfc3161-32.exe"));
  ASSERT_FALSE(image.empty());
  for (std::size_t length = 0; length < image.size(); length += 61) {
    std::vector<std::uint8_t> prefix(image.begin(), image.begin() + length);
    TrustCheck check = verifyImageTrust(prefix, fixtureStores(), currentFileTime());
    EXPECT_NE(check.status, kTrustSuccess) << length;
  }
  // A bit flipped anywhere in the signed bytes or the block breaks the check;
  // only the checksum field and unused bytes of the block may change freely.
  std::size_t failures = 0;
  std::size_t flips = 0;
  for (std::size_t at = 0; at < image.size(); at += 37) {
    std::vector<std::uint8_t> copy = image;
    copy[at] ^= 0x10;
    ++flips;
    if (verifyImageTrust(copy, fixtureStores(), currentFileTime()).status != kTrustSuccess)
      ++failures;
  }
  EXPECT_GT(failures, flips * 9 / 10);
}
