// The trust check through the system's trust provider, on the generated
// Authenticode fixtures: the outcome for each kind of file, the first
// signer's chain and time-stamp, the release of the provider's state, and
// PEValidator's results on top. The fixture PKI's roots must be in the
// Root store and its distrusted signer in Disallowed; under Wine (a test
// prefix) the suite puts them there itself. Where Wine's trust provider
// falls short of Windows', the test says so and skips.
#include "platform/WineHost.h"
#include "platform/WinTrust.h"
#include "validation/CertificateNames.h"
#include "validation/PEValidator.h"
#include "validation/ValidationResult.h"

#include "../Fixtures.h"
#include "util/Calendar.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace platform;

constexpr const char* kSha256ChainGap =
    "Wine's trust provider does not judge chains of SHA-256 certificates: it accepts expired, "
    "wrong-usage, untrusted, incomplete and explicitly distrusted chains";
constexpr const char* kCounterSignerGap =
    "Wine's trust provider takes the time of a PKCS #9 countersignature but reports no "
    "countersigner, and ignores RFC 3161 time-stamps";

std::string fixture(const std::string& relative) {
  return fixtures::folder("authenticode") + "/" + relative;
}

// The full Windows path of a fixture (FENNICK_FIXTURES may be a path of
// the host that runs Wine, which the current drive resolves).
std::u16string windowsPath(const std::string& path) {
  std::wstring wide(path.begin(), path.end());
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  full.resize(size);
  return std::u16string(full.begin(), full.end());
}

std::u16string peImage(const std::string& name) { return windowsPath(fixture("pe/" + name)); }

std::u16string thumbprintOf(const std::string& signer) {
  std::string hex = fixtures::readLine(fixture("pki/" + signer + ".sha1"));
  return std::u16string(hex.begin(), hex.end());
}

FileTime utc(int year, int month, int day) {
  CalendarTime calendar;
  calendar.year = std::uint16_t(year);
  calendar.month = std::uint16_t(month);
  calendar.day = std::uint16_t(day);
  FileTime time;
  calendarToFileTime(calendar, time);
  return time;
}

// DER bytes of a PEM or DER certificate file.
std::vector<BYTE> certificateBytes(const std::string& path) {
  std::vector<std::uint8_t> file = fixtures::readBytes(path);
  DWORD size = 0;
  const char* text = reinterpret_cast<const char*>(file.data());
  if (!CryptStringToBinaryA(text, DWORD(file.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                            nullptr, nullptr))
    return {file.begin(), file.end()};
  std::vector<BYTE> der(size);
  CryptStringToBinaryA(text, DWORD(file.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                       nullptr, nullptr);
  der.resize(size);
  return der;
}

// Adds every certificate of a fixture folder to a store of the current
// user (an existing copy is kept). False when any cannot be added.
bool addToStore(const wchar_t* storeName, const std::string& folder) {
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                   storeName);
  if (!store)
    return false;
  bool added = true;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::vector<BYTE> der = certificateBytes(entry.path().string());
    added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), DWORD(der.size()),
                                             CERT_STORE_ADD_USE_EXISTING, nullptr) &&
            added;
  }
  CertCloseStore(store, 0);
  return added;
}

// Whether the vendor's root is a trusted root of this machine.
bool vendorRootTrusted() {
  std::vector<BYTE> der = certificateBytes(fixture("pki/orvia-root.crt"));
  PCCERT_CONTEXT root = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), DWORD(der.size()));
  if (!root)
    return false;
  HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
  PCCERT_CONTEXT found =
      store ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, root, nullptr)
            : nullptr;
  bool trusted = found != nullptr;
  if (found)
    CertFreeCertificateContext(found);
  if (store)
    CertCloseStore(store, 0);
  CertFreeCertificateContext(root);
  return trusted;
}

class WinVerifyTrustTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // Adding a root on Windows asks the user; a Wine test prefix is ours.
    if (runningUnderWine()) {
      addToStore(L"Root", fixture("trust/trusted"));
      addToStore(L"Disallowed", fixture("trust/disallowed"));
    }
  }

  void SetUp() override {
    if (!vendorRootTrusted())
      GTEST_SKIP() << "the fixture roots of " << fixture("trust/trusted")
                   << " are not in the Root store";
  }

  static TrustCheck verify(const std::string& name) { return winVerifyTrust(peImage(name)); }

  static std::vector<std::u16string> chainNames(const TrustCheck& check) {
    std::vector<std::u16string> names;
    for (const Certificate& certificate : check.chain)
      names.push_back(certificateDisplayName(certificate));
    return names;
  }
};

struct StatusCase {
  const char* file;
  std::uint32_t status;
};

} // namespace

TEST_F(WinVerifyTrustTest, OutcomesOfSoundAndBrokenFiles) {
  const StatusCase cases[] = {
      {"orvia-sha256-32.exe", kTrustSuccess},
      {"orvia-sha1-64.exe", kTrustSuccess},
      {"orvia-sha512-64.exe", kTrustSuccess},
      {"orvia-md5-32.exe", kTrustSuccess},
      {"padded-32.exe", kTrustSuccess},
      {"indefinite-length-32.exe", kTrustSuccess},
      {"tampered-checksum-32.exe", kTrustSuccess},
      // Revocation checking is off: the CRL that lists this signer is not
      // consulted.
      {"revoked-32.exe", kTrustSuccess},
      {"unsigned-32.exe", kTrustNoSignature},
      {"unsigned-64.exe", kTrustNoSignature},
      {"mz-only.exe", kTrustNoSignature},
      {"not-pe.txt", kTrustSubjectFormUnknown},
      {"empty.exe", kTrustSubjectFormUnknown},
      {"tampered-section-32.exe", kTrustBadDigest},
  };
  for (const StatusCase& c : cases) {
    TrustCheck check = verify(c.file);
    EXPECT_EQ(check.status, c.status) << c.file;
    EXPECT_EQ(check.hasSigner, c.status == kTrustSuccess) << c.file;
  }
  TrustCheck missing = verify("no-such-file.exe");
  EXPECT_NE(missing.status, kTrustSuccess);
  EXPECT_FALSE(missing.hasSigner);
}

TEST_F(WinVerifyTrustTest, ChainRunsFromTheSignerToItsRoot) {
  TrustCheck vendor = verify("orvia-sha256-32.exe");
  ASSERT_TRUE(vendor.hasSigner);
  EXPECT_EQ(chainNames(vendor), (std::vector<std::u16string>{u"Orvia Systems Code Signing",
                                                             u"Orvia Systems Code Signing CA",
                                                             u"Orvia Systems Root CA"}));
  EXPECT_EQ(certificateThumbprint(vendor.chain[0]), thumbprintOf("orvia-signer"));
  // Another signer under the same CA; of nested signatures only the first.
  TrustCheck build = verify("orvia-build-32.exe");
  ASSERT_FALSE(build.chain.empty());
  EXPECT_EQ(certificateThumbprint(build.chain[0]), thumbprintOf("orvia-build"));
  TrustCheck nested = verify("nested-32.exe");
  ASSERT_FALSE(nested.chain.empty());
  EXPECT_EQ(certificateThumbprint(nested.chain[0]), thumbprintOf("orvia-signer"));
  // Certificates outlive the released trust state.
  TrustCheck copy = vendor;
  vendor = TrustCheck{};
  EXPECT_EQ(certificateDisplayName(copy.chain[2]), u"Orvia Systems Root CA");
}

TEST_F(WinVerifyTrustTest, WithoutTimeStampTheCheckRunsAsOfNow) {
  const FileTime before = currentFileTime();
  TrustCheck check = verify("orvia-sha256-32.exe");
  const FileTime after = currentFileTime();
  EXPECT_EQ(check.status, kTrustSuccess);
  EXPECT_EQ(check.counterSignerCount, 0u);
  if (runningUnderWine())
    GTEST_SKIP() << "Wine's trust provider verifies a signature without time-stamp as of the "
                    "file's last write time, not as of now";
  EXPECT_GE(check.verifyAsOf.ticks(), before.ticks());
  EXPECT_LE(check.verifyAsOf.ticks(), after.ticks());
}

TEST_F(WinVerifyTrustTest, CountersignatureGivesTheTimeOfVerification) {
  // The signer expired in 2016; its PKCS #9 countersignature of 2015 keeps
  // it valid.
  for (const char* file : {"orvia-pkcs9-64.exe", "expired-pkcs9-64.exe"}) {
    TrustCheck check = verify(file);
    EXPECT_EQ(check.status, kTrustSuccess) << file;
    EXPECT_TRUE(check.hasSigner) << file;
  }
  EXPECT_EQ(verify("orvia-pkcs9-64.exe").verifyAsOf, utc(2023, 3, 1));
  EXPECT_EQ(verify("expired-pkcs9-64.exe").verifyAsOf, utc(2015, 6, 1));
  if (runningUnderWine())
    GTEST_SKIP() << kCounterSignerGap;
  EXPECT_EQ(verify("orvia-pkcs9-64.exe").counterSignerCount, 1u);
}

TEST_F(WinVerifyTrustTest, Rfc3161TimeStampGivesTheTimeOfVerification) {
  if (runningUnderWine())
    GTEST_SKIP() << kCounterSignerGap;
  TrustCheck check = verify("orvia-rfc3161-32.exe");
  EXPECT_EQ(check.status, kTrustSuccess);
  EXPECT_EQ(check.counterSignerCount, 1u);
  EXPECT_EQ(check.verifyAsOf, utc(2022, 6, 1));
  EXPECT_EQ(verify("expired-rfc3161-32.exe").verifyAsOf, utc(2015, 6, 1));
}

TEST_F(WinVerifyTrustTest, ChainFailures) {
  if (runningUnderWine())
    GTEST_SKIP() << kSha256ChainGap;
  const StatusCase cases[] = {
      {"expired-32.exe", kCertExpired},
      {"wrongusage-32.exe", kCertWrongUsage},
      {"untrusted-32.exe", kCertUntrustedRoot},
      {"chaining-32.exe", kCertChaining},
  };
  for (const StatusCase& c : cases) {
    TrustCheck check = verify(c.file);
    EXPECT_EQ(check.status, c.status) << c.file;
    EXPECT_FALSE(check.hasSigner) << c.file;
  }
  TrustCheck distrusted = verify("distrusted-64.exe");
  EXPECT_EQ(distrusted.status, kTrustExplicitDistrust);
  ASSERT_TRUE(distrusted.hasSigner);
  EXPECT_EQ(certificateThumbprint(distrusted.chain.at(0)), thumbprintOf("distrusted"));
}

TEST_F(WinVerifyTrustTest, TrustStateIsReleasedOnEveryPath) {
  // The provider holds the file open while its state lives; once the check
  // returns, the file can be opened exclusively and deleted.
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "fennick-trust-state";
  std::filesystem::create_directories(folder);
  for (const char* name : {"orvia-sha256-32.exe", "tampered-section-32.exe", "unsigned-32.exe"}) {
    const std::filesystem::path copy = folder / name;
    std::filesystem::copy_file(fixture(std::string("pe/") + name), copy,
                               std::filesystem::copy_options::overwrite_existing);
    const std::wstring path = copy.wstring();
    winVerifyTrust(std::u16string(path.begin(), path.end()));
    HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << name;
    if (exclusive != INVALID_HANDLE_VALUE)
      CloseHandle(exclusive);
    EXPECT_TRUE(DeleteFileW(path.c_str())) << name;
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

TEST_F(WinVerifyTrustTest, ValidatorResultsOverTheSystemCheck) {
  PEValidator validator;
  validator.certificateHash = thumbprintOf("orvia-signer");
  validator.companyName = u"orvia systems";
  EXPECT_EQ(validator.validate(peImage("orvia-sha256-32.exe")), ValidationResult::Affected);
  EXPECT_EQ(validator.validate(peImage("orvia-build-32.exe")), ValidationResult::Verified);
  EXPECT_EQ(validator.validate(peImage("unsigned-64.exe")), ValidationResult::NoSignature);
  EXPECT_EQ(validator.validate(peImage("tampered-section-32.exe")), ValidationResult::BadSignature);
  EXPECT_EQ(validator.validate(peImage("not-pe.txt")), ValidationResult::OtherTrustFailure);
  EXPECT_EQ(validator.validate(peImage("no-such-file.exe")), ValidationResult::FileNotFound);
  // The company may be named by an issuer only.
  validator.certificateHash = thumbprintOf("orvia-build");
  EXPECT_EQ(validator.validate(peImage("orvia-build-32.exe")), ValidationResult::Affected);
}
