// Reading and verifying the platform's list of trusted roots.
#include "platform/posix/trust/RootProgramList.h"

#include "platform/posix/trust/AuthenticodeSignature.h"
#include "platform/posix/trust/CertificateImpl.h"
#include "platform/posix/trust/Der.h"
#include "platform/posix/trust/SignedData.h"

#include <openssl/objects.h>
#include <openssl/pem.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <string_view>

namespace platform {
namespace {

// szOID_CTL: the content type of a certificate trust list.
constexpr const char* kCertificateTrustList = "1.3.6.1.4.1.311.10.1";
// szOID_ROOT_LIST_SIGNER: the usage a list signer's certificate must name.
constexpr const char* kRootListSigner = "1.3.6.1.4.1.311.10.3.9";
// A certificate property carried as a list attribute: this prefix and the
// property id.
constexpr const char* kPropertyPrefix = "1.3.6.1.4.1.311.10.11.";
constexpr int kEnhancedKeyUsageProperty = 9;     // CERT_ENHKEY_USAGE_PROP_ID
constexpr int kDisallowedTimeProperty = 104;     // CERT_DISALLOWED_FILETIME_PROP_ID
constexpr int kDisallowedUsageProperty = 122;    // CERT_DISALLOWED_ENHKEY_USAGE_PROP_ID
constexpr int kNotBeforeTimeProperty = 126;      // CERT_NOT_BEFORE_FILETIME_PROP_ID
constexpr int kNotBeforeUsageProperty = 127;     // CERT_NOT_BEFORE_ENHKEY_USAGE_PROP_ID

// The vendor's roots under which the list is signed: Microsoft Root
// Certificate Authority 2010 and 2011, by their SHA-1 hashes.
constexpr CertificateHash kListRoots[] = {
    {0x3B, 0x1E, 0xFD, 0x3A, 0x66, 0xEA, 0x28, 0xB1, 0x66, 0x97,
     0x39, 0x47, 0x03, 0xA7, 0x2C, 0xA3, 0x40, 0xA0, 0x5B, 0xD5},
    {0x8F, 0x43, 0x28, 0x8A, 0xD2, 0x72, 0xF3, 0x10, 0x3B, 0x6F,
     0xB1, 0x42, 0x84, 0x85, 0xEA, 0x30, 0x14, 0xC0, 0xBC, 0xFE},
};

std::string dottedText(const ASN1_OBJECT* object) {
  char text[128];
  int length = OBJ_obj2txt(text, sizeof text, object, 1);
  return length > 0 && length < int(sizeof text) ? std::string(text, std::size_t(length)) : "";
}

// The usages of a SEQUENCE OF OBJECT IDENTIFIER in DER read element by
// element; false for anything else (BER, other elements, identifiers only
// OpenSSL reads), which decodeUsages then reads.
bool readUsages(std::span<const std::uint8_t> value, std::set<std::string>& usages) {
  DerElement sequence, element;
  std::span<const std::uint8_t> rest = value;
  if (!readDerElement(rest, sequence) || !sequence.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE) ||
      (sequence.encoding[0] & V_ASN1_CONSTRUCTED) == 0)
    return false;
  std::set<std::string> read;
  std::span<const std::uint8_t> objects = sequence.contents;
  while (!objects.empty()) {
    std::string text;
    if (!readDerElement(objects, element) || !element.is(V_ASN1_UNIVERSAL, V_ASN1_OBJECT) ||
        (element.encoding[0] & V_ASN1_CONSTRUCTED) != 0 || !derObjectText(element.contents, text))
      return false;
    if (text.size() < 128) // as long as OpenSSL's text of it would be
      read.insert(std::move(text));
  }
  usages = std::move(read);
  return true;
}

// A property value that holds a SEQUENCE OF OBJECT IDENTIFIER.
std::set<std::string> usagesOf(std::span<const std::uint8_t> value) {
  std::set<std::string> usages;
  if (readUsages(value, usages))
    return usages;
  const unsigned char* cursor = value.data();
  EXTENDED_KEY_USAGE_ptr decoded(
      d2i_EXTENDED_KEY_USAGE(nullptr, &cursor, static_cast<long>(value.size())));
  for (int i = 0; decoded && i < sk_ASN1_OBJECT_num(decoded.get()); ++i)
    usages.insert(dottedText(sk_ASN1_OBJECT_value(decoded.get(), i)));
  usages.erase("");
  return usages;
}

// A property value that holds a FILETIME (eight bytes, least significant first).
std::optional<FileTime> fileTimeOf(std::span<const std::uint8_t> value) {
  if (value.size() != 8)
    return std::nullopt;
  std::uint64_t ticks = 0;
  for (int i = 7; i >= 0; --i)
    ticks = (ticks << 8) | value[std::size_t(i)];
  return FileTime::fromTicks(ticks);
}

// The property id of an attribute type under kPropertyPrefix, or -1.
int propertyIdOf(const DerElement& type) {
  if (!type.is(V_ASN1_UNIVERSAL, V_ASN1_OBJECT))
    return -1;
  std::string dotted;
  if (!derObjectText(type.contents, dotted) || dotted.size() >= 128) {
    const unsigned char* cursor = type.encoding.data();
    ASN1_OBJECT_ptr object(d2i_ASN1_OBJECT(nullptr, &cursor, long(type.encoding.size())));
    dotted = object ? dottedText(object.get()) : "";
  }
  const std::size_t prefix = std::strlen(kPropertyPrefix);
  if (dotted.size() <= prefix || dotted.compare(0, prefix, kPropertyPrefix) != 0 ||
      dotted.size() - prefix > 6 ||
      !std::all_of(dotted.begin() + long(prefix), dotted.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return -1;
  return std::stoi(dotted.substr(prefix));
}

// TrustedSubject ::= SEQUENCE { subjectIdentifier OCTET STRING,
//                               subjectAttributes SET OF Attribute OPTIONAL }
bool readSubject(const DerElement& subject, CertificateHash& hash, RootProgramEntry& entry) {
  std::span<const std::uint8_t> rest = subject.contents;
  DerElement identifier, attributes;
  if (!readDerElement(rest, identifier) || !identifier.is(V_ASN1_UNIVERSAL, V_ASN1_OCTET_STRING) ||
      identifier.contents.size() != hash.size())
    return false;
  std::copy(identifier.contents.begin(), identifier.contents.end(), hash.begin());
  if (rest.empty())
    return true;
  if (!readDerElement(rest, attributes) || !attributes.is(V_ASN1_UNIVERSAL, V_ASN1_SET))
    return false;
  std::span<const std::uint8_t> list = attributes.contents;
  while (!list.empty()) {
    DerElement attribute, type, values, value;
    if (!readDerElement(list, attribute) || !attribute.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
      return false;
    std::span<const std::uint8_t> parts = attribute.contents;
    if (!readDerElement(parts, type) || !readDerElement(parts, values) ||
        !values.is(V_ASN1_UNIVERSAL, V_ASN1_SET))
      return false;
    std::span<const std::uint8_t> first = values.contents;
    if (!readDerElement(first, value) || !value.is(V_ASN1_UNIVERSAL, V_ASN1_OCTET_STRING))
      continue;
    switch (propertyIdOf(type)) {
    case kEnhancedKeyUsageProperty: entry.usages = usagesOf(value.contents); break;
    case kDisallowedTimeProperty: entry.disallowedFrom = fileTimeOf(value.contents); break;
    case kDisallowedUsageProperty: entry.disallowedUsages = usagesOf(value.contents); break;
    case kNotBeforeTimeProperty: entry.notBefore = fileTimeOf(value.contents); break;
    case kNotBeforeUsageProperty: entry.notBeforeUsages = usagesOf(value.contents); break;
    default: break;
    }
  }
  return true;
}

// CertificateTrustList ::= SEQUENCE { version INTEGER DEFAULT v1,
//   subjectUsage SEQUENCE OF OID, listIdentifier OCTET STRING OPTIONAL,
//   sequenceNumber INTEGER OPTIONAL, ctlThisUpdate Time,
//   ctlNextUpdate Time OPTIONAL, subjectAlgorithm AlgorithmIdentifier,
//   trustedSubjects SEQUENCE OF TrustedSubject OPTIONAL,
//   ctlExtensions [0] EXPLICIT Extensions OPTIONAL }
bool readTrustList(std::span<const std::uint8_t> content, RootProgramList& list,
                   std::time_t& thisUpdate) {
  DerElement trustList, element;
  std::span<const std::uint8_t> rest = content;
  if (!readDerElement(rest, trustList) || !trustList.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
    return false;
  rest = trustList.contents;
  int sequences = 0; // subjectUsage, subjectAlgorithm, trustedSubjects
  bool haveTime = false;
  while (!rest.empty() && sequences < 3) {
    if (!readDerElement(rest, element))
      return false;
    if ((element.is(V_ASN1_UNIVERSAL, V_ASN1_UTCTIME) ||
         element.is(V_ASN1_UNIVERSAL, V_ASN1_GENERALIZEDTIME)) && !haveTime) {
      const unsigned char* cursor = element.encoding.data();
      ASN1_TIME_ptr time(d2i_ASN1_TIME(nullptr, &cursor, long(element.encoding.size())));
      struct tm calendar {};
      if (!time || ASN1_TIME_to_tm(time.get(), &calendar) != 1)
        return false;
      thisUpdate = timegm(&calendar);
      haveTime = true;
      continue;
    }
    if (!element.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
      continue;
    if (++sequences < 3)
      continue;
    std::span<const std::uint8_t> subjects = element.contents;
    while (!subjects.empty()) {
      DerElement subject;
      CertificateHash hash{};
      RootProgramEntry entry;
      if (!readDerElement(subjects, subject) || !subject.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE) ||
          !readSubject(subject, hash, entry))
        return false;
      list.roots[hash] = std::move(entry);
    }
  }
  return haveTime && sequences == 3;
}

bool namesUsage(X509* certificate, const char* usage) {
  EXTENDED_KEY_USAGE_ptr usages(static_cast<EXTENDED_KEY_USAGE*>(
      X509_get_ext_d2i(certificate, NID_ext_key_usage, nullptr, nullptr)));
  for (int i = 0; usages && i < sk_ASN1_OBJECT_num(usages.get()); ++i) {
    if (dottedText(sk_ASN1_OBJECT_value(usages.get(), i)) == usage)
      return true;
  }
  return false;
}

// The list signer's chain, as of the list's date, to one of the vendor's
// list roots that the list names and that is among the given roots.
bool signerChainsToListRoot(X509* signer, STACK_OF(X509) * intermediates,
                            const RootProgramList& list, std::time_t at) {
  X509_STORE_ptr anchors(X509_STORE_new());
  bool anyAnchor = false;
  for (const std::vector<std::uint8_t>& encoding : list.encodings) {
    CertificateHash hash{};
    unsigned int length = 0;
    if (EVP_Digest(encoding.data(), encoding.size(), hash.data(), &length, EVP_sha1(), nullptr) !=
            1 ||
        std::find(std::begin(kListRoots), std::end(kListRoots), hash) == std::end(kListRoots))
      continue;
    X509_ptr root = decodeCertificate(encoding);
    anyAnchor = (root && X509_STORE_add_cert(anchors.get(), root.get()) == 1) || anyAnchor;
  }
  X509_STORE_CTX_ptr context(X509_STORE_CTX_new());
  if (!anyAnchor || !context ||
      X509_STORE_CTX_init(context.get(), anchors.get(), signer, intermediates) != 1)
    return false;
  X509_VERIFY_PARAM_set_time(X509_STORE_CTX_get0_param(context.get()), at);
  return X509_verify_cert(context.get()) == 1;
}

// One line of text without its line end ("\n" or "\r\n"); text moves past it.
std::string_view nextLine(std::string_view& text) {
  const std::size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  return line;
}

// The characters of a Base64 line, padding included.
constexpr std::array<bool, 256> kBase64Characters = [] {
  std::array<bool, 256> characters{};
  for (unsigned char c :
       std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="))
    characters[c] = true;
  return characters;
}();

bool isBase64Line(std::string_view line) {
  return !line.empty() && line.size() <= 76 &&
         std::all_of(line.begin(), line.end(),
                     [](char c) { return kBase64Characters[static_cast<unsigned char>(c)]; });
}

} // namespace

bool readPlainPemCertificates(std::string_view text,
                              std::vector<std::vector<std::uint8_t>>& encodings) {
  // The plain form of a PEM file of certificates: each block a BEGIN line of
  // a certificate, lines of Base64 alone (padding only at its end) and the
  // END line of the same name; any text between blocks. Anything else (other
  // blocks, headers, blank lines inside a block) is left to OpenSSL's reader.
  constexpr std::string_view kBegin = "-----BEGIN ", kEnd = "-----END ", kDashes = "-----";
  bool any = false;
  while (!text.empty()) {
    std::string_view line = nextLine(text);
    if (line.substr(0, kBegin.size()) != kBegin)
      continue;
    if (line.size() < kBegin.size() + kDashes.size() ||
        line.substr(line.size() - kDashes.size()) != kDashes)
      return false;
    const std::string_view name =
        line.substr(kBegin.size(), line.size() - kBegin.size() - kDashes.size());
    if (name != PEM_STRING_X509 && name != PEM_STRING_X509_OLD)
      return false;
    std::string body;
    bool padded = false;
    for (;;) {
      if (text.empty())
        return false;
      line = nextLine(text);
      if (line.substr(0, kEnd.size()) == kEnd) {
        if (line != std::string(kEnd) + std::string(name) + std::string(kDashes))
          return false;
        break;
      }
      if (!isBase64Line(line) || padded)
        return false;
      const std::size_t pad = line.find('=');
      if (pad != std::string_view::npos) {
        if (line.find_first_not_of('=', pad) != std::string_view::npos || line.size() - pad > 2)
          return false;
        padded = true;
      }
      body.append(line);
    }
    if (body.empty() || body.size() % 4 != 0)
      return false;
    std::vector<std::uint8_t> der(body.size() / 4 * 3);
    const int length = EVP_DecodeBlock(der.data(), reinterpret_cast<const unsigned char*>(body.data()),
                                       static_cast<int>(body.size()));
    const std::size_t padding = body.size() - body.find_last_not_of('=') - 1;
    if (length < 0 || std::size_t(length) != der.size() || padding > der.size())
      return false;
    der.resize(der.size() - padding);
    encodings.push_back(std::move(der));
    any = true;
  }
  return any;
}

X509_ptr decodeCertificate(std::span<const std::uint8_t> der) {
  const unsigned char* cursor = der.data();
  X509_ptr certificate(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
  if (!certificate || cursor != der.data() + der.size())
    return {};
  rememberEncoding(certificate.get(), der);
  return certificate;
}

std::vector<std::vector<std::uint8_t>> readCertificateEncodings(std::span<const std::uint8_t> bytes) {
  std::vector<std::vector<std::uint8_t>> encodings;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (readPlainPemCertificates(text, encodings))
    return encodings;
  encodings.clear();
  if (text.find("-----BEGIN") == std::string_view::npos) {
    std::span<const std::uint8_t> rest = bytes;
    DerElement certificate;
    if (readDerElement(rest, certificate) && certificate.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
      encodings.emplace_back(certificate.encoding.begin(), certificate.encoding.end());
    return encodings;
  }
  BIO_ptr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  for (;;) {
    char* name = nullptr;
    char* header = nullptr;
    unsigned char* data = nullptr;
    long length = 0;
    if (!bio || PEM_read_bio(bio.get(), &name, &header, &data, &length) != 1)
      break;
    OpenSslBytes_ptr ownedData(data);
    const std::string kind = name ? name : "";
    OPENSSL_free(name);
    OPENSSL_free(header);
    if ((kind == PEM_STRING_X509 || kind == PEM_STRING_X509_OLD) && length > 0)
      encodings.emplace_back(data, data + length);
  }
  return encodings;
}

std::vector<X509_ptr> readCertificates(std::span<const std::uint8_t> bytes) {
  std::vector<X509_ptr> certificates;
  for (const std::vector<std::uint8_t>& encoding : readCertificateEncodings(bytes)) {
    // A DER file may carry bytes after its certificate; they are ignored.
    const unsigned char* cursor = encoding.data();
    X509_ptr certificate(d2i_X509(nullptr, &cursor, static_cast<long>(encoding.size())));
    if (!certificate)
      continue;
    rememberEncoding(certificate.get(), {encoding.data(), cursor});
    certificates.push_back(std::move(certificate));
  }
  return certificates;
}

bool readRootProgramList(std::span<const std::uint8_t> stl,
                         std::span<const std::uint8_t> rootCertificates, RootProgramList& list) {
  list = RootProgramList{};
  SignedDataParts parts;
  std::time_t thisUpdate = 0;
  if (!readSignedData(stl, kCertificateTrustList, parts) ||
      !readTrustList(parts.content, list, thisUpdate)) {
    list = RootProgramList{};
    return false;
  }
  for (std::vector<std::uint8_t>& encoding : readCertificateEncodings(rootCertificates)) {
    CertificateHash hash{};
    unsigned int length = 0;
    if (EVP_Digest(encoding.data(), encoding.size(), hash.data(), &length, EVP_sha1(), nullptr) ==
            1 &&
        list.roots.count(hash) != 0)
      list.encodings.push_back(std::move(encoding));
  }
  X509* signer = nullptr;
  if (verifySignerInfo(parts.firstSigner.get(), derContents(parts.content),
                       parts.certificates.get(), nullptr, signer) != SignerCheck::Valid ||
      !namesUsage(signer, kRootListSigner) ||
      !signerChainsToListRoot(signer, parts.certificates.get(), list, thisUpdate)) {
    list = RootProgramList{};
    return false;
  }
  return true;
}

} // namespace platform
