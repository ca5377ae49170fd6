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
  std::wstring full = std::filesystem::absolute(path).make_preferred().wstring();
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

// Adds every certificate (PEM) of a fixture folder to a system store of
// the current user; a copy already there is kept.
void addToSystemStore(const wchar_t* store, const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::vector<std::uint8_t> pem = fixtures::readBytes(entry.path().string());
    DWORD size = 0;
    const char* text = reinterpret_cast<const char*>(pem.data());
    CryptStringToBinaryA(text, DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr);
    std::vector<BYTE> der(size);
    if (CryptStringToBinaryA(text, DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                             nullptr, nullptr))
      CertAddEncodedCertificateToSystemStoreW(store, der.data(), size);
  }
}

// Whether the vendor's root is in the Root store.
bool vendorRootTrusted() {
  HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
  if (!store)
    return false;
  PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_STR_W,
                                                    L"Orvia Systems Root CA", nullptr);
  if (found)
    CertFreeCertificateContext(found);
  CertCloseStore(store, 0);
  return found != nullptr;
}

class WinVerifyTrustTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // Adding a root on Windows asks the user; a Wine test prefix is ours.
    if (runningUnderWine()) {
      addToSystemStore(L"Root", fixture("trust/trusted"));
      addToSystemStore(L"Disallowed", fixture("trust/disallowed"));
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
  ASSERT_EQ(chainNames(vendor), (std::vector<std::u16string>{u"Orvia Systems Code Signing",
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

TEST_F(WinVerifyTrustTest, TimeStampGivesTheTimeOfVerification) {
  // The signer expired in 2016; its countersignatures of 2015 keep it valid.
  EXPECT_EQ(verify("orvia-pkcs9-64.exe").verifyAsOf, utc(2023, 3, 1));
  TrustCheck expired = verify("expired-pkcs9-64.exe");
  EXPECT_EQ(expired.status, kTrustSuccess);
  EXPECT_TRUE(expired.hasSigner);
  EXPECT_EQ(expired.verifyAsOf, utc(2015, 6, 1));
  EXPECT_EQ(verify("orvia-sha256-32.exe").counterSignerCount, 0u);
  if (runningUnderWine())
    GTEST_SKIP() << kCounterSignerGap;
  EXPECT_EQ(verify("orvia-pkcs9-64.exe").counterSignerCount, 1u);
  TrustCheck rfc3161 = verify("orvia-rfc3161-32.exe");
  EXPECT_EQ(rfc3161.counterSignerCount, 1u);
  EXPECT_EQ(rfc3161.verifyAsOf, utc(2022, 6, 1));
  EXPECT_EQ(verify("expired-rfc3161-32.exe").status, kTrustSuccess);
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

TEST_F(WinVerifyTrustTest, FilesInUseAndLongPathsAreCheckedLikeAnyOther) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "fennick-trust-use";
  std::filesystem::path deep = folder;
  while (deep.native().size() < 300)
    deep /= L"a folder name of some length";
  std::filesystem::create_directories(deep);
  for (const std::filesystem::path& copy : {folder / "in use.exe", deep / "long.exe"}) {
    std::filesystem::copy_file(fixture("pe/orvia-sha1-64.exe"), copy,
                               std::filesystem::copy_options::overwrite_existing);
    const std::wstring path = copy.wstring();
    // Another program holds the file open for writing, sharing every access.
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    TrustCheck check = winVerifyTrust(std::u16string(path.begin(), path.end()));
    CloseHandle(writer);
    EXPECT_EQ(check.status, kTrustSuccess) << copy.string();
    EXPECT_TRUE(check.hasSigner) << copy.string();
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}
