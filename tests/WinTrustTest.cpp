// The Authenticode trust check on the generated fixtures: its status for
// every kind of file, the signer's chain, the countersigner count and the
// time as of which the signature is verified.
#include "platform/AuthenticodeCheck.h"
#include "platform/posix/trust/AuthenticodeSignature.h"
#include "platform/posix/trust/CertificateCache.h"
#include "platform/posix/trust/CertificateChain.h"
#include "platform/posix/trust/CertificateImpl.h"
#include "platform/posix/trust/SignatureCache.h"
#include "platform/posix/trust/TrustStoresImpl.h"
#include "platform/TrustStores.h"
#include "platform/WinTrust.h"
#include "validation/CertificateNames.h"

#include "AuthenticodeFixtures.h"

#include <gtest/gtest.h>

#include <openssl/core_dispatch.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/provider.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <thread>
#include <vector>

namespace {

using namespace platform;

// Stores from the given lists, without the platform's root list.
std::shared_ptr<const TrustStores> stores(const std::string& trusted,
                                          const std::string& disallowed = "",
                                          const std::string& crls = "") {
  TrustStoreLocations locations;
  locations.trusted = trusted;
  locations.disallowed = disallowed;
  locations.crls = crls;
  locations.rootList = false;
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

// While it lives, MD5 is refused as a restricted configuration of the
// platform refuses it: a provider whose only algorithm is an MD5 that never
// starts, preferred to every other provider's MD5.
class Md5Refused {
public:
  Md5Refused() {
    OSSL_PROVIDER_add_builtin(nullptr, "md5-refusing", &initProvider);
    provider = OSSL_PROVIDER_load(nullptr, "md5-refusing");
    EVP_set_default_properties(nullptr, "?provider=md5-refusing");
  }
  ~Md5Refused() {
    EVP_set_default_properties(nullptr, "");
    if (provider)
      OSSL_PROVIDER_unload(provider);
  }
  Md5Refused(const Md5Refused&) = delete;
  Md5Refused& operator=(const Md5Refused&) = delete;

private:
  static void* newContext(void*) {
    static int context;
    return &context;
  }
  static void freeContext(void*) {}
  static int refuse(void*, const OSSL_PARAM[]) { return 0; }
  static int update(void*, const unsigned char*, size_t) { return 0; }
  static int finish(void*, unsigned char*, size_t*, size_t) { return 0; }
  static int parameters(OSSL_PARAM params[]) {
    OSSL_PARAM* size = OSSL_PARAM_locate(params, OSSL_DIGEST_PARAM_SIZE);
    OSSL_PARAM* block = OSSL_PARAM_locate(params, OSSL_DIGEST_PARAM_BLOCK_SIZE);
    return (!size || OSSL_PARAM_set_size_t(size, 16)) && (!block || OSSL_PARAM_set_size_t(block, 64));
  }
  using Function = void (*)();
  static const OSSL_ALGORITHM* query(void*, int operation, int* noCache) {
    static const OSSL_DISPATCH md5[] = {
        {OSSL_FUNC_DIGEST_NEWCTX, reinterpret_cast<Function>(&newContext)},
        {OSSL_FUNC_DIGEST_FREECTX, reinterpret_cast<Function>(&freeContext)},
        {OSSL_FUNC_DIGEST_INIT, reinterpret_cast<Function>(&refuse)},
        {OSSL_FUNC_DIGEST_UPDATE, reinterpret_cast<Function>(&update)},
        {OSSL_FUNC_DIGEST_FINAL, reinterpret_cast<Function>(&finish)},
        {OSSL_FUNC_DIGEST_GET_PARAMS, reinterpret_cast<Function>(&parameters)},
        {0, nullptr}};
    static const OSSL_ALGORITHM digests[] = {
        {"MD5:SSL3-MD5:1.2.840.113549.2.5", "provider=md5-refusing", md5, nullptr},
        {nullptr, nullptr, nullptr, nullptr}};
    *noCache = 0;
    return operation == OSSL_OP_DIGEST ? digests : nullptr;
  }
  static int initProvider(const OSSL_CORE_HANDLE*, const OSSL_DISPATCH*, const OSSL_DISPATCH** out,
                          void** context) {
    static const OSSL_DISPATCH functions[] = {
        {OSSL_FUNC_PROVIDER_QUERY_OPERATION, reinterpret_cast<Function>(&query)}, {0, nullptr}};
    *out = functions;
    *context = nullptr;
    return 1;
  }

  OSSL_PROVIDER* provider = nullptr;
};

bool md5Computes() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  return EVP_Digest("abc", 3, digest, &length, EVP_md5(), nullptr) == 1 && length == 16;
}

struct StatusCase {
  const char* file;
  std::uint32_t status;
};

// Certificates made on the spot (P-256 keys, quick to make), decoded again
// from their encoding as the certificates of a signature are.
EVP_PKEY_ptr newKey() { return EVP_PKEY_ptr(EVP_EC_gen("P-256")); }

X509_ptr makeCertificate(const char* subject, const char* issuer, long serial, EVP_PKEY* key,
                         EVP_PKEY* signingKey, std::time_t notBefore, std::time_t notAfter,
                         bool authority) {
  X509_ptr made(X509_new());
  X509_NAME_ptr subjectName(X509_NAME_new());
  X509_NAME_ptr issuerName(X509_NAME_new());
  X509_NAME_add_entry_by_txt(subjectName.get(), "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(subject), -1, -1, 0);
  X509_NAME_add_entry_by_txt(issuerName.get(), "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(issuer), -1, -1, 0);
  X509_set_version(made.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(made.get()), serial);
  X509_set_subject_name(made.get(), subjectName.get());
  X509_set_issuer_name(made.get(), issuerName.get());
  ASN1_TIME_set(X509_getm_notBefore(made.get()), notBefore);
  ASN1_TIME_set(X509_getm_notAfter(made.get()), notAfter);
  X509_set_pubkey(made.get(), key);
  if (authority) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, made.get(), made.get(), nullptr, nullptr, 0);
    for (auto [nid, value] : {std::pair{NID_basic_constraints, "critical,CA:TRUE"},
                              std::pair{NID_key_usage, "critical,keyCertSign,cRLSign"}}) {
      std::unique_ptr<X509_EXTENSION, OpenSslDeleter<&X509_EXTENSION_free>> extension(
          X509V3_EXT_conf_nid(nullptr, &context, nid, value));
      X509_add_ext(made.get(), extension.get(), -1);
    }
  }
  X509_sign(made.get(), signingKey, EVP_sha256());
  unsigned char* encoded = nullptr;
  const int length = i2d_X509(made.get(), &encoded);
  OpenSslBytes_ptr owned(encoded);
  return cachedCertificate({encoded, static_cast<std::size_t>(length > 0 ? length : 0)});
}

// Stores whose Root holds the one certificate root.
std::shared_ptr<TrustStores> rootStores(X509* root) {
  auto made = std::make_shared<TrustStores>();
  made->root.reset(X509_STORE_new());
  X509_STORE_add_cert(made->root.get(), root);
  return made;
}

constexpr std::time_t k2020 = 1577836800; // 2020-01-01
constexpr std::time_t k2030 = 1893456000; // 2030-01-01
constexpr std::time_t kDay = 86400;

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
      {"anyeku-32.exe", kCertWrongUsage},      // any usage: for issuers, not for a signer
      {"revoked-expired-64.exe", kCertExpired}, // expiry is reported before revocation
      {"restricted-ca-64.exe", kCertWrongUsage}, // an issuer's usages bind the signer
      {"untrusted-32.exe", kCertUntrustedRoot},
      {"chaining-32.exe", kCertChaining},
      {"bad-rfc3161-32.exe", kTrustTimeStamp},
      {"bad-pkcs9-64.exe", kTrustCounterSigner},
      {"bad-pkcs9-digest-64.exe", kTrustCounterSigner},
      {"untrusted-tsa-32.exe", kCertUntrustedRoot},
      {"cross-signed-64.exe", kTrustSuccess},   // an issuing CA under two roots
      {"cross-stamped-32.exe", kTrustSuccess},  // expired, stamped; cross-certificate in the token
      {"cross-loop-64.exe", kCertChaining},     // two CAs certifying each other, no anchor
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

TEST(WinTrust, LegacyCountersignaturesOverTheBareDigest) {
  // Early time-stamping services put the bare SHA-1 digest of the
  // countersignature's attributes into the RSA block, without DigestInfo;
  // the platform accepts that form for countersignatures.
  TrustCheck legacy = verify("bare-digest-pkcs9-64.exe");
  EXPECT_EQ(legacy.status, kTrustSuccess);
  EXPECT_EQ(legacy.counterSignerCount, 1u);
  EXPECT_EQ(legacy.verifyAsOf, fixtures::utc(2023, 3, 1));
  // Only the digest of the countersignature's own algorithm: a bare SHA-256
  // digest under a SHA-1 countersignature is refused.
  EXPECT_EQ(verify("bare-wrong-digest-pkcs9-64.exe").status, kTrustCounterSigner);
}

TEST(WinTrust, CountersignatureOverADigestThatCannotBeComputedFails) {
  // An MD5 countersignature with an empty message digest and a signature of
  // arbitrary bytes: where MD5 is refused, no digest can be computed, and
  // an empty digest must not match the empty values.
  EXPECT_EQ(verify("forged-md5-pkcs9-64.exe").status, kTrustCounterSigner);
  Md5Refused refused;
  ASSERT_FALSE(md5Computes());
  EXPECT_EQ(verify("forged-md5-pkcs9-64.exe").status, kTrustCounterSigner);
  // Other digests still serve: a SHA-256 countersignature verifies.
  EXPECT_EQ(verify("orvia-pkcs9-64.exe").status, kTrustSuccess);
}

TEST(WinTrust, ThumbprintIsTakenOverTheCertificateAsSent) {
  // The signer's certificate is sent in BER that is not DER; decoding and
  // encoding it again would give other bytes and another hash.
  TrustCheck check = verify("noncanonical-signer-32.exe");
  ASSERT_EQ(check.status, kTrustSuccess);
  ASSERT_FALSE(check.chain.empty());
  EXPECT_EQ(certificateThumbprint(check.chain[0]), fixtures::thumbprintOf("noncanonical-signer"));
  EXPECT_NE(fixtures::thumbprintOf("noncanonical-signer"), fixtures::thumbprintOf("orvia-signer"));
  EXPECT_EQ(check.chain[0].encoded().size(),
            fixtures::readBytes(fixtures::authenticode("pki/noncanonical-signer.der")).size());
}

TEST(WinTrust, RootWithoutBasicConstraintsIsACa) {
  // The oldest roots predate basic constraints; the platform takes a
  // self-signed root without the extension as a CA.
  TrustCheck check = verify("old-root-64.exe");
  EXPECT_EQ(check.status, kTrustSuccess);
  EXPECT_EQ(chainNames(check), (std::vector<std::u16string>{
                                   u"Signer Under An Old Root",
                                   u"Old Test Root Without Basic Constraints"}));
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
  // A countersignature of 2023-03-01 and an RFC 3161 token of 2022-06-01:
  // the countersignature comes first, whatever their order in the block.
  TrustCheck both = verify("two-stamps-32.exe");
  EXPECT_EQ(both.status, kTrustSuccess);
  EXPECT_EQ(both.counterSignerCount, 2u);
  EXPECT_EQ(both.verifyAsOf, fixtures::utc(2023, 3, 1));
}

TEST(WinTrust, TimeStampTimesKeepTheirFractionOfASecond) {
  // Signing dates are compared in 100-nanosecond ticks.
  struct Fraction {
    const char* text;
    std::uint64_t ticks;
  };
  const Fraction cases[] = {{"20220601000000Z", 0},
                            {"20220601000000.5Z", 5000000},
                            {"20220601000000.1234567Z", 1234567},
                            {"20220601000000.123456789Z", 1234567}};
  for (const Fraction& c : cases) {
    ASN1_TIME_ptr time(ASN1_GENERALIZEDTIME_new());
    ASSERT_TRUE(time && ASN1_GENERALIZEDTIME_set_string(time.get(), c.text) == 1) << c.text;
    FileTime converted;
    ASSERT_TRUE(fileTimeOf(time.get(), converted)) << c.text;
    EXPECT_EQ(converted.ticks(), fixtures::utc(2022, 6, 1).ticks() + c.ticks) << c.text;
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

TEST(WinTrust, LargeImagesAreHashedWholeFromTheFile) {
  // Several reads' worth of image: every byte up to the table and behind it
  // counts, once.
  EXPECT_EQ(verify("orvia-large-32.exe").status, kTrustSuccess);
  EXPECT_EQ(verify("tampered-large-32.exe").status, kTrustBadDigest);
  EXPECT_EQ(verify("appended-large-32.exe").status, kTrustBadDigest);
}

TEST(WinTrust, ImageBytesThatCannotBeReadAreFileErrors) {
  std::vector<std::uint8_t> image = fixtures::readBytes(fixtures::authenticode("pe/orvia-large-32.exe"));
  ASSERT_FALSE(image.empty());
  std::size_t piecesRead = 0;
  // Hands out the digest's ranges in small pieces until the limit, then fails.
  auto reader = [&](std::size_t limit) -> ImageRangeReader {
    return [&, limit](std::uint64_t offset, std::uint64_t length,
                      const std::function<bool(std::span<const std::uint8_t>)>& consume) {
      for (std::uint64_t at = offset; at < offset + length; at += 1000) {
        if (++piecesRead > limit)
          return false;
        const std::uint64_t size = std::min<std::uint64_t>(1000, offset + length - at);
        if (!consume(std::span<const std::uint8_t>(image).subspan(at, size)))
          return false;
      }
      return true;
    };
  };
  EXPECT_EQ(verifyImageTrust(image, reader(SIZE_MAX), fixtureStores(), currentFileTime()).status,
            kTrustSuccess);
  EXPECT_GT(piecesRead, 250u);
  piecesRead = 0;
  EXPECT_EQ(verifyImageTrust(image, reader(100), fixtureStores(), currentFileTime()).status,
            kCryptFileError);
}

TEST(WinTrust, NewStoresServeSeveralThreadsFromTheirFirstCheck) {
  // Several threads check files with stores no check has used yet; what
  // the stores' certificates and revocation lists learn at their first use
  // must be settled before they are shared (the thread-sanitizer build
  // reports it otherwise).
  for (int round = 0; round < 20; ++round) {
    auto fresh = stores(fixtures::authenticode("trust/trusted"),
                        fixtures::authenticode("trust/disallowed"),
                        fixtures::authenticode("trust/crls"));
    std::atomic<int> waiting{3};
    std::vector<std::uint32_t> statuses(3, 0xFFFFFFFF);
    const char* names[] = {"orvia-rfc3161-32.exe", "orvia-sha256-32.exe", "revoked-32.exe"};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
      threads.emplace_back([&, t] {
        --waiting;
        while (waiting.load() > 0)
          std::this_thread::yield();
        statuses[t] = verify(names[t], *fresh).status;
      });
    }
    for (std::thread& thread : threads)
      thread.join();
    EXPECT_EQ(statuses, (std::vector<std::uint32_t>{kTrustSuccess, kTrustSuccess, kCertRevoked}));
  }
}

TEST(WinTrust, RememberedSignaturesNeverChangeAVerdict) {
  // Two signers with the same names, serial number and key, one signed by
  // the root's key, the other re-signed with another key: each keeps its
  // own verdict, whichever was checked first, however often, and on
  // several threads at once.
  EVP_PKEY_ptr rootKey = newKey(), otherKey = newKey(), signerKey = newKey();
  X509_ptr root = makeCertificate("Cache Root", "Cache Root", 1, rootKey.get(), rootKey.get(),
                                  k2020, k2030, true);
  auto anchors = rootStores(root.get());
  for (bool genuineFirst : {true, false}) {
    const long serial = genuineFirst ? 7 : 8;
    X509_ptr genuine = makeCertificate("Cache Signer", "Cache Root", serial, signerKey.get(),
                                       rootKey.get(), k2020, k2030, false);
    X509_ptr forged = makeCertificate("Cache Signer", "Cache Root", serial, signerKey.get(),
                                      otherKey.get(), k2020, k2030, false);
    ASSERT_TRUE(genuine && forged);
    const std::time_t at = k2020 + 100 * kDay;
    std::vector<std::pair<X509*, std::uint32_t>> order{{genuine.get(), kTrustSuccess},
                                                       {forged.get(), kTrustCertSignature}};
    if (!genuineFirst)
      std::swap(order[0], order[1]);
    for (int round = 0; round < 2; ++round) {
      for (auto [leaf, status] : order)
        EXPECT_EQ(buildChain(leaf, nullptr, *anchors, at, ChainUsage::CodeSigning).status, status)
            << genuineFirst << round;
    }
    EXPECT_TRUE(certificateSignatureVerifies(genuine.get(), root.get()));
    EXPECT_FALSE(certificateSignatureVerifies(forged.get(), root.get()));
  }
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      EVP_PKEY_ptr key = newKey();
      X509_ptr genuine = makeCertificate("Cache Signer", "Cache Root", 100 + t / 2, key.get(),
                                         rootKey.get(), k2020, k2030, false);
      X509_ptr forged = makeCertificate("Cache Signer", "Cache Root", 100 + t / 2, key.get(),
                                        otherKey.get(), k2020, k2030, false);
      for (int round = 0; round < 20; ++round) {
        if (buildChain(genuine.get(), nullptr, *anchors, k2020 + kDay, ChainUsage::CodeSigning)
                    .status != kTrustSuccess ||
            buildChain(forged.get(), nullptr, *anchors, k2020 + kDay, ChainUsage::CodeSigning)
                    .status != kTrustCertSignature)
          ++wrong;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(WinTrust, ChainsAreJudgedAnewForEveryFile) {
  // The same chain, valid as of one file's time-stamp and expired as of
  // the next file's: what was remembered of the first never passes the
  // second, nor the other way round.
  EXPECT_EQ(verify("expired-rfc3161-32.exe").status, kTrustSuccess);
  EXPECT_EQ(verify("expired-32.exe").status, kCertExpired);
  EXPECT_EQ(verify("expired-rfc3161-32.exe").status, kTrustSuccess);
  // The same at the level of the chain: a signer valid for a year.
  EVP_PKEY_ptr rootKey = newKey(), signerKey = newKey();
  X509_ptr root = makeCertificate("Dated Root", "Dated Root", 1, rootKey.get(), rootKey.get(),
                                  k2020, k2030, true);
  X509_ptr signer = makeCertificate("Dated Signer", "Dated Root", 2, signerKey.get(),
                                    rootKey.get(), k2020, k2020 + 365 * kDay, false);
  auto anchors = rootStores(root.get());
  const std::time_t during = k2020 + 100 * kDay, after = k2020 + 400 * kDay;
  for (std::time_t at : {during, after, during, after})
    EXPECT_EQ(buildChain(signer.get(), nullptr, *anchors, at, ChainUsage::CodeSigning).status,
              at == during ? kTrustSuccess : kCertExpired);
  EXPECT_EQ(buildChain(signer.get(), nullptr, *anchors, k2020 - kDay, ChainUsage::CodeSigning).status,
            kCertExpired); // not yet valid
}

TEST(WinTrust, RememberedSignaturesStayWithinTheirBound) {
  // However many certificates pass, what is kept stays within the bounds,
  // and what is checked after the caches start afresh is judged as before.
  EVP_PKEY_ptr rootKey = newKey(), signerKey = newKey();
  X509_ptr root = makeCertificate("Bound Root", "Bound Root", 1, rootKey.get(), rootKey.get(),
                                  k2020, k2030, true);
  auto anchors = rootStores(root.get());
  const std::string padding(24 * 1024, 'x'); // so that few certificates fill the caches
  std::size_t largestCertificates = 0, largestSignatures = 0;
  for (long serial = 1000; serial < 1100; ++serial) {
    X509_ptr made(X509_new());
    X509_set_version(made.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(made.get()), serial);
    X509_NAME_ptr subject(X509_NAME_new());
    X509_NAME_add_entry_by_txt(subject.get(), "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Bound Signer"), -1, -1, 0);
    X509_set_subject_name(made.get(), subject.get());
    X509_set_issuer_name(made.get(), X509_get_subject_name(root.get()));
    ASN1_TIME_set(X509_getm_notBefore(made.get()), k2020);
    ASN1_TIME_set(X509_getm_notAfter(made.get()), k2030);
    X509_set_pubkey(made.get(), signerKey.get());
    std::unique_ptr<X509_EXTENSION, OpenSslDeleter<&X509_EXTENSION_free>> comment(
        X509V3_EXT_conf_nid(nullptr, nullptr, NID_netscape_comment, padding.c_str()));
    X509_add_ext(made.get(), comment.get(), -1);
    X509_sign(made.get(), rootKey.get(), EVP_sha256());
    unsigned char* encoded = nullptr;
    const int length = i2d_X509(made.get(), &encoded);
    OpenSslBytes_ptr owned(encoded);
    X509_ptr signer = cachedCertificate({encoded, std::size_t(length > 0 ? length : 0)});
    ASSERT_TRUE(signer);
    EXPECT_EQ(buildChain(signer.get(), nullptr, *anchors, k2020 + kDay, ChainUsage::CodeSigning)
                  .status,
              kTrustSuccess);
    largestCertificates = std::max(largestCertificates, certificateCacheSize().bytes);
    largestSignatures = std::max(largestSignatures, signatureCacheSize().bytes);
  }
  EXPECT_GT(largestCertificates, kCertificateCacheBytes / 2);
  EXPECT_LE(largestCertificates, kCertificateCacheBytes);
  EXPECT_GT(largestSignatures, kSignatureCacheBytes / 2);
  EXPECT_LE(largestSignatures, kSignatureCacheBytes);
}

TEST(WinTrust, ValidityTimesReadOnceCompareAsOpenSslComparesThem) {
  // The validity times of a decoded certificate are read once; comparing a
  // time with them answers what X509_cmp_time answers, for every form of
  // time a certificate may carry, valid or not.
  struct Form {
    int type;
    const char* text;
  };
  const Form forms[] = {
      {V_ASN1_UTCTIME, "230615120000Z"},     {V_ASN1_UTCTIME, "491231235959Z"},
      {V_ASN1_UTCTIME, "500101000000Z"},     {V_ASN1_UTCTIME, "700101000000Z"},
      {V_ASN1_GENERALIZEDTIME, "20500101000000Z"}, {V_ASN1_GENERALIZEDTIME, "99991231235959Z"},
      {V_ASN1_GENERALIZEDTIME, "16010101000000Z"}, {V_ASN1_GENERALIZEDTIME, "20240229120000Z"},
      {V_ASN1_GENERALIZEDTIME, "20230229120000Z"}, // no such day
      {V_ASN1_UTCTIME, "231315120000Z"},     // no such month
      {V_ASN1_UTCTIME, "2306151200Z"},       // no seconds
      {V_ASN1_GENERALIZEDTIME, "20230615120000.5Z"}, // a fraction
      {V_ASN1_UTCTIME, "230615120000+0100"}, // an offset
      {V_ASN1_UTCTIME, "23061512000AZ"},     // not a digit
      {V_ASN1_GENERALIZEDTIME, "230615120000Z"}, // the other type's length
  };
  EVP_PKEY_ptr key = newKey();
  int compared = 0;
  for (const Form& form : forms) {
    X509_ptr made(X509_new());
    X509_set_version(made.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(made.get()), 5);
    X509_NAME_ptr name(X509_NAME_new());
    X509_NAME_add_entry_by_txt(name.get(), "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Times"), -1, -1, 0);
    X509_set_subject_name(made.get(), name.get());
    X509_set_issuer_name(made.get(), name.get());
    for (ASN1_TIME* field : {X509_getm_notBefore(made.get()), X509_getm_notAfter(made.get())}) {
      ASN1_STRING_set(field, form.text, -1);
      field->type = form.type;
    }
    X509_set_pubkey(made.get(), key.get());
    X509_sign(made.get(), key.get(), EVP_sha256());
    unsigned char* encoded = nullptr;
    const int length = i2d_X509(made.get(), &encoded);
    OpenSslBytes_ptr owned(encoded);
    X509_ptr decoded = cachedCertificate({encoded, std::size_t(length > 0 ? length : 0)});
    if (!decoded)
      continue; // a certificate that does not decode never reaches a chain
    ASN1_TIME_ptr exact(ASN1_TIME_new());
    ASN1_STRING_set(exact.get(), form.text, -1);
    exact->type = form.type;
    struct tm fields {};
    std::time_t base = 1686830400; // 2023-06-15 12:00:00
    if (ASN1_TIME_to_tm(exact.get(), &fields) == 1)
      base = timegm(&fields);
    for (std::time_t at : {base - 86400, base - 1, base, base + 1, base + 86400, std::time_t(0),
                           std::time_t(1700000000), std::time_t(253402300799),
                           std::time_t(253402300800), std::time_t(-5)}) {
      for (bool notAfter : {false, true}) {
        const ASN1_TIME* field =
            notAfter ? X509_get0_notAfter(decoded.get()) : X509_get0_notBefore(decoded.get());
        std::time_t copy = at;
        EXPECT_EQ(compareValidityTime(decoded.get(), notAfter, &at), X509_cmp_time(field, &copy))
            << form.text << " at " << at;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 200);
}
