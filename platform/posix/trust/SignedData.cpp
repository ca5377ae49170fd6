// The SignedData walk: one element at a time with ASN1_get_object, each
// part decoded by OpenSSL where it is needed.
#include "platform/posix/trust/SignedData.h"

#include "platform/posix/trust/CertificateCache.h"
#include "platform/posix/trust/Der.h"

#include <openssl/objects.h>

namespace platform {
namespace {

using Element = DerElement;

bool readElement(std::span<const std::uint8_t>& input, Element& element) {
  return readDerElement(input, element);
}

bool isObject(const Element& element, const char* dotted) { return isDerObject(element, dotted); }

// Reads the next element of input and checks its class and tag.
bool expect(std::span<const std::uint8_t>& input, Element& element, int tagClass, int tag) {
  return readElement(input, element) && element.is(tagClass, tag);
}

constexpr const char* kSignedData = "1.2.840.113549.1.7.2";

// The SignedData SEQUENCE inside der:
//   ContentInfo ::= SEQUENCE { contentType OID, [0] EXPLICIT SignedData }
bool unwrapSignedData(std::span<const std::uint8_t> der, Element& signedData) {
  Element contentInfo, type, explicitContent;
  std::span<const std::uint8_t> rest = der;
  if (!expect(rest, contentInfo, V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
    return false;
  rest = contentInfo.contents;
  if (!readElement(rest, type) || !isObject(type, kSignedData) ||
      !expect(rest, explicitContent, V_ASN1_CONTEXT_SPECIFIC, 0))
    return false;
  rest = explicitContent.contents;
  return expect(rest, signedData, V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE);
}

} // namespace

std::span<const std::uint8_t> derContents(std::span<const std::uint8_t> element) {
  Element read;
  return readElement(element, read) ? read.contents : std::span<const std::uint8_t>();
}

bool signedDataCertificateEncodings(std::span<const std::uint8_t> der,
                                    std::vector<std::span<const std::uint8_t>>& encodings) {
  encodings.clear();
  Element signedData, version, digestAlgorithms, encapsulated, field;
  if (!unwrapSignedData(der, signedData))
    return false;
  std::span<const std::uint8_t> rest = signedData.contents;
  if (!expect(rest, version, V_ASN1_UNIVERSAL, V_ASN1_INTEGER) ||
      !expect(rest, digestAlgorithms, V_ASN1_UNIVERSAL, V_ASN1_SET) ||
      !expect(rest, encapsulated, V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE) || !readElement(rest, field))
    return false;
  if (!field.is(V_ASN1_CONTEXT_SPECIFIC, 0))
    return true; // no certificates
  std::span<const std::uint8_t> certificates = field.contents;
  Element certificate;
  while (!certificates.empty()) {
    if (!readElement(certificates, certificate))
      return false;
    if (certificate.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
      encodings.push_back(certificate.encoding);
  }
  return true;
}

bool readSignedData(std::span<const std::uint8_t> der, const char* contentType,
                    SignedDataParts& parts) {
  parts = SignedDataParts{};
  Element signedData;
  if (!unwrapSignedData(der, signedData))
    return false;

  //   SignedData ::= SEQUENCE { version INTEGER, digestAlgorithms SET,
  //     encapContentInfo SEQUENCE { eContentType OID, [0] EXPLICIT eContent },
  //     certificates [0] IMPLICIT SET OPTIONAL, crls [1] IMPLICIT SET OPTIONAL,
  //     signerInfos SET }
  Element version, digestAlgorithms, encapsulated, field;
  std::span<const std::uint8_t> rest = signedData.contents;
  if (!expect(rest, version, V_ASN1_UNIVERSAL, V_ASN1_INTEGER) ||
      !expect(rest, digestAlgorithms, V_ASN1_UNIVERSAL, V_ASN1_SET) ||
      !expect(rest, encapsulated, V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
    return false;
  Element eContentType, wrapped, content;
  std::span<const std::uint8_t> inner = encapsulated.contents;
  if (!readElement(inner, eContentType) || !eContentType.is(V_ASN1_UNIVERSAL, V_ASN1_OBJECT) ||
      (contentType && !isObject(eContentType, contentType)))
    return false;
  if (!inner.empty()) {
    if (!expect(inner, wrapped, V_ASN1_CONTEXT_SPECIFIC, 0))
      return false;
    inner = wrapped.contents;
    if (!readElement(inner, content))
      return false;
    parts.content = content.encoding;
  }

  parts.certificates.reset(sk_X509_new_null());
  if (!parts.certificates || !readElement(rest, field))
    return false;
  if (field.is(V_ASN1_CONTEXT_SPECIFIC, 0)) {
    std::span<const std::uint8_t> certificates = field.contents;
    Element certificate;
    while (!certificates.empty()) {
      if (!readElement(certificates, certificate))
        return false;
      if (!certificate.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
        continue;
      X509_ptr decoded = cachedCertificate(certificate.encoding);
      if (!decoded || !sk_X509_push(parts.certificates.get(), decoded.get()))
        return false;
      decoded.release(); // the stack holds the reference now
    }
    if (!readElement(rest, field))
      return false;
  }
  if (field.is(V_ASN1_CONTEXT_SPECIFIC, 1) && !readElement(rest, field))
    return false;
  Element firstSigner;
  std::span<const std::uint8_t> signers = field.contents;
  if (!field.is(V_ASN1_UNIVERSAL, V_ASN1_SET) || !readElement(signers, firstSigner))
    return false;
  const unsigned char* cursor = firstSigner.encoding.data();
  parts.firstSigner.reset(
      d2i_PKCS7_SIGNER_INFO(nullptr, &cursor, static_cast<long>(firstSigner.encoding.size())));
  return parts.firstSigner != nullptr;
}

} // namespace platform
