// The platform's root list: the list built into the program verifies and
// gives each root its usages and dates; a copy that does not verify is not
// used; and a listed root vouches for a chain only for its usages and within
// its dates, with time-stamps dating a signature as the platform dates it.
#include "platform/posix/trust/CertificateImpl.h"
#include "platform/posix/trust/Der.h"
#include "platform/Resources.h"
#include "platform/posix/trust/RootProgramList.h"
#include "platform/TrustStatus.h"
#include "platform/posix/trust/TrustStoresImpl.h"
#include "platform/WinTrust.h"
#include "validation/CertificateNames.h"

#include "AuthenticodeFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <openssl/pem.h>
#include <fstream>

namespace {

using namespace platform;

constexpr const char* kCodeSigning = "1.3.6.1.5.5.7.3.3";
constexpr const char* kTimeStamping = "1.3.6.1.5.5.7.3.8";

CertificateHash hashOf(const std::string& hex) {
  CertificateHash hash{};
  for (std::size_t i = 0; i < hash.size(); ++i)
    hash[i] = std::uint8_t(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return hash;
}

std::size_t rootCount(const TrustStores& stores) {
  return stores.listedCertificates ? stores.listedCertificates->size() : 0;
}

std::span<const std::uint8_t> shippedList() { return findResource(kResourceTrust, 401); }
std::span<const std::uint8_t> shippedCertificates() { return findResource(kResourceTrust, 402); }

void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Stores whose Root holds the fixture anchors, each root named in entries
// bound by its entry, as if the root list named it.
std::shared_ptr<TrustStores> listing(
    std::initializer_list<std::pair<const char*, RootProgramEntry>> entries) {
  auto stores = std::make_shared<TrustStores>();
  stores->root.reset(X509_STORE_new());
  std::vector<std::uint8_t> bundle = fixtures::readBytes(fixtures::authenticode("trust/bundle.pem"));
  for (const X509_ptr& certificate : readCertificates(bundle))
    X509_STORE_add_cert(stores->root.get(), certificate.get());
  for (auto [name, entry] : entries) {
    std::vector<std::uint8_t> pem = fixtures::readBytes(fixtures::authenticode(std::string("pki/") + name + ".crt"));
    std::vector<X509_ptr> certificates = readCertificates(pem);
    std::uint8_t hash[20];
    EXPECT_TRUE(!certificates.empty() && certificateSha1(certificates[0].get(), hash));
    CertificateHash key{};
    std::copy(std::begin(hash), std::end(hash), key.begin());
    stores->listedRoots[key] = entry;
  }
  return stores;
}

// The vendor root bound by vendorEntry and the other root (the
// time-stamping authority's) by otherEntry.
std::shared_ptr<TrustStores> listing(const RootProgramEntry& vendorEntry,
                                     const RootProgramEntry& otherEntry = {}) {
  return listing({{"orvia-root", vendorEntry}, {"other-root", otherEntry}});
}

RootProgramEntry allowing(std::initializer_list<const char*> usages) {
  RootProgramEntry entry;
  entry.usages.emplace(usages.begin(), usages.end());
  return entry;
}

std::u16string anchorName(const TrustCheck& check) {
  return check.chain.empty() ? u"" : certificateDisplayName(check.chain.back());
}

std::uint32_t statusOf(const std::string& file, const TrustStores& stores) {
  return winVerifyTrust(fixtures::peImage(file), stores).status;
}

} // namespace

TEST(RootList, ShippedListVerifiesAndGivesEachRootItsProperties) {
  RootProgramList list;
  ASSERT_TRUE(readRootProgramList(shippedList(), shippedCertificates(), list));
  EXPECT_EQ(list.roots.size(), 515u);
  EXPECT_EQ(list.encodings.size(), 515u);
  // Microsoft Root Certificate Authority (2001): every usage, disallowed
  // from 2021-08-01, nothing issued from 2017-04-30 on.
  const RootProgramEntry& old = list.roots.at(hashOf("cdd4eeae6000ac7f40c3802c171e30148030c072"));
  EXPECT_FALSE(old.usages);
  EXPECT_EQ(old.disallowedFrom, fixtures::utc(2021, 8, 1));
  EXPECT_TRUE(old.disallowedUsages.empty());
  EXPECT_EQ(old.notBefore, fixtures::utc(2017, 4, 30));
  // Entrust Root Certification Authority - G4: code signing and time
  // stamping among its usages; nothing issued from 2025-04-16 on is trusted
  // for code signing, while time stamping stays.
  const RootProgramEntry& entrust = list.roots.at(hashOf("14884e862637b026af59625c4077ec3529ba9601"));
  ASSERT_TRUE(entrust.usages);
  EXPECT_EQ(entrust.usages->count(kCodeSigning), 1u);
  EXPECT_EQ(entrust.usages->count(kTimeStamping), 1u);
  EXPECT_FALSE(entrust.disallowedFrom);
  EXPECT_EQ(entrust.notBefore, fixtures::utc(2025, 4, 16));
  EXPECT_EQ(entrust.notBeforeUsages.count(kCodeSigning), 1u);
  EXPECT_EQ(entrust.notBeforeUsages.count(kTimeStamping), 0u);

  // The process's Root holds them, and nothing from the system's TLS bundle.
  TrustStoreLocations locations;
  auto stores = loadTrustStores(locations);
  EXPECT_TRUE(stores->rootListRead);
  EXPECT_EQ(rootCount(*stores), 515u);
  EXPECT_EQ(stores->listedRoots.size(), 515u);
}

TEST(RootList, ListsThatDoNotVerifyAreNotUsed) {
  std::vector<std::uint8_t> changed(shippedList().begin(), shippedList().end());
  changed[changed.size() / 2] ^= 0x01; // inside the trusted subjects
  RootProgramList list;
  EXPECT_FALSE(readRootProgramList(changed, shippedCertificates(), list));
  EXPECT_TRUE(list.roots.empty());
  // Without the certificates of the vendor roots it is signed under, the
  // list cannot be verified either.
  EXPECT_FALSE(readRootProgramList(shippedList(), {}, list));
  EXPECT_FALSE(readRootProgramList({}, shippedCertificates(), list));
}

TEST(RootList, NewerCopyInAFolderReplacesTheBuiltInList) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("fennick-authroot-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  // A verified copy whose certificate file holds only the roots the list is
  // signed under (and a few more): Root holds exactly those.
  std::string pem(reinterpret_cast<const char*>(shippedCertificates().data()), shippedCertificates().size());
  std::string some;
  for (const char* name : {"3b1efd3a66ea28b16697394703a72ca340a05bd5",
                           "8f43288ad272f3103b6fb1428485ea3014c0bcfe"}) {
    std::size_t begin = pem.find(name);
    ASSERT_NE(begin, std::string::npos);
    some += pem.substr(begin, pem.find("-----END CERTIFICATE-----", begin) + 26 - begin);
  }
  writeFile(folder / "authroot.stl", shippedList());
  writeFile(folder / "authroot-certificates.pem",
            {reinterpret_cast<const std::uint8_t*>(some.data()), some.size()});
  TrustStoreLocations locations;
  locations.rootListFolder = folder.string();
  EXPECT_EQ(rootCount(*loadTrustStores(locations)), 2u);
  // A copy that does not verify leaves the built-in list in place.
  std::vector<std::uint8_t> changed(shippedList().begin(), shippedList().end());
  changed[changed.size() / 2] ^= 0x01;
  writeFile(folder / "authroot.stl", changed);
  auto fallback = loadTrustStores(locations);
  EXPECT_TRUE(fallback->rootListRead);
  EXPECT_EQ(rootCount(*fallback), 515u);
  std::filesystem::remove_all(folder);
}

TEST(RootList, ListedRootsAreDecodedWhenAChainAsksForThem) {
  // A store whose only roots are held encoded, as the root list's are.
  TrustStores stores;
  stores.listedCertificates = std::make_unique<ListedRootLookup>(readCertificateEncodings(
      fixtures::readBytes(fixtures::authenticode("trust/bundle.pem"))));
  stores.root.reset(X509_STORE_new());
  ASSERT_TRUE(stores.listedCertificates->attach(stores.root.get()));
  EXPECT_EQ(sk_X509_OBJECT_num(X509_STORE_get0_objects(stores.root.get())), 0);
  TrustCheck vendor = winVerifyTrust(fixtures::peImage("orvia-sha256-32.exe"), stores);
  EXPECT_EQ(vendor.status, kTrustSuccess);
  ASSERT_EQ(vendor.chain.size(), 3u);
  EXPECT_EQ(statusOf("other-64.exe", stores), kTrustSuccess);
  EXPECT_EQ(statusOf("untrusted-32.exe", stores), kCertUntrustedRoot);
  // Only the roots chains asked for were decoded.
  EXPECT_EQ(sk_X509_OBJECT_num(X509_STORE_get0_objects(stores.root.get())), 2);
}

TEST(RootList, ListedRootsVouchOnlyForTheirUsages) {
  RootProgramEntry timeStampingOnly;
  timeStampingOnly.usages = std::set<std::string>{kTimeStamping};
  RootProgramEntry codeSigningOnly;
  codeSigningOnly.usages = std::set<std::string>{kCodeSigning};
  EXPECT_EQ(statusOf("orvia-sha256-32.exe", *listing(timeStampingOnly)), kCertWrongUsage);
  EXPECT_EQ(statusOf("orvia-sha256-32.exe", *listing(codeSigningOnly)), kTrustSuccess);
  // The time-stamping authority's root must be listed for time stamping.
  EXPECT_EQ(statusOf("orvia-rfc3161-32.exe", *listing(codeSigningOnly, codeSigningOnly)),
            kCertWrongUsage);
  EXPECT_EQ(statusOf("orvia-rfc3161-32.exe", *listing(codeSigningOnly, timeStampingOnly)),
            kTrustSuccess);
}

TEST(RootList, DisallowedRootsKeepSignaturesTimeStampedBefore) {
  RootProgramEntry disallowed;
  disallowed.disallowedFrom = fixtures::utc(2023, 1, 1);
  auto stores = listing(disallowed);
  EXPECT_EQ(statusOf("orvia-sha256-32.exe", *stores), kCertWrongUsage);     // as of now
  EXPECT_EQ(statusOf("orvia-rfc3161-32.exe", *stores), kTrustSuccess);      // stamped 2022-06-01
  EXPECT_EQ(statusOf("orvia-rfc3161-sha1-64.exe", *stores), kCertWrongUsage); // stamped 2023-03-01
  // Each file is judged at its own time, whatever was judged before it.
  EXPECT_EQ(statusOf("orvia-rfc3161-32.exe", *stores), kTrustSuccess);
  EXPECT_EQ(statusOf("orvia-pkcs9-64.exe", *stores), kCertWrongUsage);        // stamped 2023-03-01
  // Disallowed for time stamping only, the root still vouches for code.
  disallowed.disallowedUsages = {kTimeStamping};
  EXPECT_EQ(statusOf("orvia-sha256-32.exe", *listing(disallowed)), kTrustSuccess);
  // A signature time-stamped at the very second the root is disallowed is
  // no longer trusted.
  RootProgramEntry fromTheStamp;
  fromTheStamp.disallowedFrom = fixtures::utc(2022, 6, 1);
  EXPECT_EQ(statusOf("orvia-rfc3161-32.exe", *listing(fromTheStamp)), kCertWrongUsage);
  fromTheStamp.disallowedFrom = fixtures::utc(2022, 6, 1, 0, 0, 1);
  EXPECT_EQ(statusOf("orvia-rfc3161-32.exe", *listing(fromTheStamp)), kTrustSuccess);
}

TEST(RootList, CertificatesIssuedAfterTheNotBeforeDateAreNotTrusted) {
  // The vendor's signer was issued on 2021-01-01.
  RootProgramEntry entry;
  entry.notBefore = fixtures::utc(2020, 6, 1);
  EXPECT_EQ(statusOf("orvia-sha256-32.exe", *listing(entry)), kCertWrongUsage);
  EXPECT_EQ(statusOf("orvia-rfc3161-32.exe", *listing(entry)), kCertWrongUsage);
  entry.notBefore = fixtures::utc(2022, 1, 1);
  EXPECT_EQ(statusOf("orvia-sha256-32.exe", *listing(entry)), kTrustSuccess);
  entry.notBefore = fixtures::utc(2020, 6, 1);
  entry.notBeforeUsages = {kTimeStamping};
  EXPECT_EQ(statusOf("orvia-sha256-32.exe", *listing(entry)), kTrustSuccess);
}

TEST(RootList, CrossCertificatesLeadToARootThatAllowsTheUsage) {
  // The signer's issuing CA is certified by a new root and by an old one;
  // whichever path is found first, the chain kept is the one through the
  // root that allows code signing, and it is the chain reported.
  const RootProgramEntry codeSigning = allowing({kCodeSigning});
  const RootProgramEntry timeStamping = allowing({kTimeStamping});
  TrustCheck throughOld = winVerifyTrust(
      fixtures::peImage("cross-signed-64.exe"),
      *listing({{"cross-new-root", timeStamping}, {"cross-old-root", codeSigning}}));
  EXPECT_EQ(throughOld.status, kTrustSuccess);
  EXPECT_EQ(anchorName(throughOld), u"Cross Test Old Root");
  EXPECT_EQ(throughOld.chain.size(), 3u);
  TrustCheck throughNew = winVerifyTrust(
      fixtures::peImage("cross-signed-64.exe"),
      *listing({{"cross-new-root", codeSigning}, {"cross-old-root", timeStamping}}));
  EXPECT_EQ(throughNew.status, kTrustSuccess);
  EXPECT_EQ(anchorName(throughNew), u"Cross Test New Root");
  // When every path fails, the status is that of the first chain.
  EXPECT_EQ(statusOf("cross-signed-64.exe",
                     *listing({{"cross-new-root", timeStamping}, {"cross-old-root", timeStamping}})),
            kCertWrongUsage);
}

TEST(RootList, TimeStampChainsTakeTheCrossCertificateOfTheToken) {
  // An expired signer time-stamped in its validity by an authority under
  // the new root, which the list allows for code signing only; the token
  // carries the new root's cross-certificate from the old root, which is
  // allowed for time stamping.
  const RootProgramEntry codeSigning = allowing({kCodeSigning});
  const RootProgramEntry both = allowing({kCodeSigning, kTimeStamping});
  TrustCheck check = winVerifyTrust(
      fixtures::peImage("cross-stamped-32.exe"),
      *listing({{"cross-new-root", codeSigning}, {"cross-old-root", both}}));
  EXPECT_EQ(check.status, kTrustSuccess);
  EXPECT_EQ(check.verifyAsOf, fixtures::utc(2015, 6, 1));
  EXPECT_EQ(certificateDisplayName(check.chain.at(0)), u"Expired Signer");
  // Neither root allows time stamping: every path fails, as before.
  EXPECT_EQ(statusOf("cross-stamped-32.exe",
                     *listing({{"cross-new-root", codeSigning}, {"cross-old-root", codeSigning}})),
            kCertWrongUsage);
}

TEST(RootList, ObjectIdentifiersReadFromTheirBytesAsOpenSslReadsThem) {
  // The list's usages and property types are read straight from their
  // bytes; every identifier OpenSSL reads gives the same text, and what it
  // refuses is refused.
  for (const char* dotted : {"1.3.6.1.5.5.7.3.3", "1.3.6.1.4.1.311.10.11.126", "2.5.29.37",
                             "0.9.2342.19200300.100.1.1", "2.999.4294967296", "1.2",
                             "2.100.18446744073709551000", "1.3.6.1.4.1.311.10.3.9"}) {
    ASN1_OBJECT_ptr object(OBJ_txt2obj(dotted, 1));
    ASSERT_TRUE(object) << dotted;
    unsigned char* encoded = nullptr;
    const int length = i2d_ASN1_OBJECT(object.get(), &encoded);
    OpenSslBytes_ptr owned(encoded);
    ASSERT_GT(length, 2);
    std::string text;
    ASSERT_TRUE(derObjectText({encoded + 2, std::size_t(length - 2)}, text)) << dotted;
    EXPECT_EQ(text, dotted);
  }
  std::string untouched = "kept";
  const std::vector<std::vector<std::uint8_t>> refused = {
      {},                       // empty
      {0x2B, 0x06, 0x81},       // cut short inside a subidentifier
      {0x2B, 0x80, 0x01},       // a subidentifier not in its shortest form
      {0x80, 0x2B},             // the first one not in its shortest form
      {0x2B, 0x82, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, // past 64 bits
  };
  for (const std::vector<std::uint8_t>& contents : refused) {
    EXPECT_FALSE(derObjectText(contents, untouched)) << contents.size();
    EXPECT_EQ(untouched, "kept");
  }
}

namespace {

// The certificates of PEM text as OpenSSL's own reader reads them.
std::vector<std::vector<std::uint8_t>> openSslPemCertificates(const std::string& text) {
  std::vector<std::vector<std::uint8_t>> encodings;
  BIO_ptr bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  for (;;) {
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* data = nullptr;
    long length = 0;
    if (PEM_read_bio(bio.get(), &name, &header, &data, &length) != 1)
      break;
    OpenSslBytes_ptr owned(data);
    const std::string kind = name ? name : "";
    OPENSSL_free(name);
    OPENSSL_free(header);
    if ((kind == PEM_STRING_X509 || kind == PEM_STRING_X509_OLD) && length > 0)
      encodings.emplace_back(data, data + length);
  }
  return encodings;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

} // namespace

TEST(RootList, PemCertificatesReadAsOpenSslReadsThem) {
  // The root list's certificates are read from PEM by a reader of the plain
  // form, and by OpenSSL's where the text has any other form; both give the
  // same certificates.
  const std::span<const std::uint8_t> shipped = shippedCertificates();
  const std::string plain(shipped.begin(), shipped.end());
  const std::string block = plain.substr(0, plain.find("-----END CERTIFICATE-----") + 26);
  struct Case {
    std::string text;
    bool plainForm;
  };
  const Case cases[] = {
      {plain, true},
      {replaceAll(plain, "\n", "\r\n"), true},
      {"subject=CN = Someone\nissuer=CN = Someone\n" + block + "\nsome words\n" + block, true},
      {replaceAll(replaceAll(block, "BEGIN CERTIFICATE", "BEGIN X509 CERTIFICATE"), "END CERTIFICATE",
                  "END X509 CERTIFICATE"),
       true},
      {replaceAll(block, "-----BEGIN CERTIFICATE-----\n",
                  "-----BEGIN CERTIFICATE-----\nProc-Type: 4,ENCRYPTED\n\n"),
       false},
      {"-----BEGIN X509 CRL-----\nAAAA\n-----END X509 CRL-----\n" + block, false},
      {replaceAll(block, "\n", " \n"), false},
      {block.substr(0, block.size() - 10), false}, // cut inside its END line
      {"no certificate here", false},
  };
  for (const Case& c : cases) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(c.text.data()),
                                              c.text.size());
    std::vector<std::vector<std::uint8_t>> plainRead;
    EXPECT_EQ(readPlainPemCertificates(c.text, plainRead), c.plainForm) << c.text.substr(0, 80);
    const auto expected = openSslPemCertificates(c.text);
    if (c.plainForm) {
      EXPECT_EQ(plainRead, expected) << c.text.substr(0, 80);
    }
    EXPECT_EQ(readCertificateEncodings(bytes), expected) << c.text.substr(0, 80);
  }
  EXPECT_GT(openSslPemCertificates(plain).size(), 100u);
}
