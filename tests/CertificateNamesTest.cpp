// The display name and thumbprint of certificates, on certificates whose
// subjects exercise each rule of the simple display name.
#include "validation/CertificateNames.h"

#include "Fixtures.h"
#include "platform/WineHost.h"

#include <gtest/gtest.h>

namespace {

platform::Certificate loadNameCertificate(const std::string& name) {
  std::vector<std::uint8_t> der =
      fixtures::readBytes(fixtures::folder("authenticode") + "/names/" + name + ".der");
  return platform::Certificate(der);
}

struct NameCase {
  const char* file;
  std::u16string expected;
};

} // namespace

TEST(CertificateNames, DisplayNameFollowsAttributePriority) {
  const NameCase cases[] = {
      {"cn-among-others", u"Orvia Code Signing"},
      {"two-cns", u"First Name"},        // first occurrence in encoded order
      {"ou-before-o", u"The Unit"},      // OU outranks O whatever their order
      {"o-only", u"The Org"},
      {"email-only", u"signer@example.org"},
      {"alt-email", u"alt@example.org"}, // rfc822 alternative name, not the DNS one
      {"empty-subject", u""},
      {"multi-valued", u"Multi Name"},
      {"utf8", u"Grüße Zoë"},
  };
  for (const NameCase& c : cases) {
    platform::Certificate certificate = loadNameCertificate(c.file);
    ASSERT_TRUE(certificate) << c.file;
    EXPECT_EQ(certificateDisplayName(certificate), c.expected) << c.file;
  }
}

TEST(CertificateNames, DisplayNameFallsBackToTheFirstAttribute) {
  if (platform::runningUnderWine())
    GTEST_SKIP() << "Wine's CertGetNameStringW gives no simple display name when the subject "
                    "has none of the preferred attributes (Windows gives its first attribute)";
  platform::Certificate certificate = loadNameCertificate("first-attribute");
  ASSERT_TRUE(certificate);
  EXPECT_EQ(certificateDisplayName(certificate), u"Town");
}

TEST(CertificateNames, ThumbprintIsUpperCaseSha1OfTheEncoding) {
  for (const char* name : {"cn-among-others", "empty-subject", "utf8"}) {
    platform::Certificate certificate = loadNameCertificate(name);
    ASSERT_TRUE(certificate) << name;
    std::string expected =
        fixtures::readLine(fixtures::folder("authenticode") + "/names/" + name + ".sha1");
    ASSERT_EQ(expected.size(), 40u);
    EXPECT_EQ(certificateThumbprint(certificate),
              std::u16string(expected.begin(), expected.end()))
        << name;
  }
}

TEST(CertificateNames, EmptyOrUndecodableCertificateGivesNothing) {
  platform::Certificate empty;
  EXPECT_EQ(certificateDisplayName(empty), u"");
  EXPECT_EQ(certificateThumbprint(empty), u"");
  const std::uint8_t garbage[] = {0x30, 0x03, 0x02, 0x01, 0x05};
  platform::Certificate undecodable{std::span<const std::uint8_t>(garbage)};
  EXPECT_FALSE(undecodable);
  EXPECT_EQ(certificateThumbprint(undecodable), u"");
}

TEST(CertificateNames, EncodingIsKeptAsReadAndTrailingBytesIgnored) {
  std::vector<std::uint8_t> der =
      fixtures::readBytes(fixtures::folder("authenticode") + "/names/o-only.der");
  std::vector<std::uint8_t> padded = der;
  padded.insert(padded.end(), {0, 0, 0, 0});
  platform::Certificate certificate{std::span<const std::uint8_t>(padded)};
  ASSERT_TRUE(certificate);
  EXPECT_EQ(std::vector<std::uint8_t>(certificate.encoded().begin(), certificate.encoded().end()),
            der);
  platform::Certificate copy = certificate; // copies share one certificate
  EXPECT_EQ(copy.get(), certificate.get());
}
