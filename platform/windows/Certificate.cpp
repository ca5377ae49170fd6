// Certificates on CryptoAPI: decoding into a certificate context, the simple
// display name (CertGetNameStringW) and the SHA-1 certificate hash
// (CertGetCertificateContextProperty with CERT_SHA1_HASH_PROP_ID).
#include "platform/Certificate.h"

#include "platform/windows/CertificateContext.h"

#include <cstddef>
#include <optional>

namespace platform {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr std::uint8_t kSequenceTag = 0x30;

// The length of the DER SEQUENCE at the start of bytes, header included;
// nothing when the bytes do not start with a whole definite-length
// SEQUENCE. The certificate is decoded from exactly these bytes, so that
// what follows it is neither decoded nor kept as its encoding.
std::optional<std::size_t> leadingSequenceLength(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 2 || bytes[0] != kSequenceTag)
    return std::nullopt;
  std::size_t header = 2;
  std::size_t length = bytes[1];
  if (length & 0x80) {
    const std::size_t lengthBytes = length & 0x7F;
    if (lengthBytes == 0 || lengthBytes > 4 || bytes.size() < 2 + lengthBytes)
      return std::nullopt;
    length = 0;
    for (std::size_t i = 0; i < lengthBytes; ++i)
      length = (length << 8) | bytes[2 + i];
    header += lengthBytes;
  }
  if (length > bytes.size() - header)
    return std::nullopt;
  return header + length;
}

} // namespace

Certificate::Certificate(std::span<const std::uint8_t> der) {
  std::optional<std::size_t> length = leadingSequenceLength(der);
  if (!length)
    return;
  PCCERT_CONTEXT context = CertCreateCertificateContext(kEncoding, der.data(), DWORD(*length));
  if (!context)
    return;
  impl = std::make_shared<const CertificateImpl>(CertContextPtr(context));
}

Certificate::Certificate(std::shared_ptr<const CertificateImpl> impl) : impl(std::move(impl)) {}

std::span<const std::uint8_t> Certificate::encoded() const {
  if (!impl)
    return {};
  return {impl->context->pbCertEncoded, impl->context->cbCertEncoded};
}

Certificate wrapCertificateContext(PCCERT_CONTEXT context) {
  if (!context)
    return {};
  PCCERT_CONTEXT shared = CertDuplicateCertificateContext(context);
  if (!shared)
    return {};
  return Certificate(std::make_shared<const CertificateImpl>(CertContextPtr(shared)));
}

PCCERT_CONTEXT contextOf(const Certificate& certificate) {
  const CertificateImpl* impl = certificate.get();
  return impl ? impl->context.get() : nullptr;
}

std::u16string certSimpleDisplayName(const Certificate& certificate) {
  PCCERT_CONTEXT context = contextOf(certificate);
  if (!context)
    return {};
  // The first call gives the size in characters with the terminator; one
  // character means there is no name.
  DWORD size = CertGetNameStringW(context, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (size <= 1)
    return {};
  std::wstring name(size, L'\0');
  size = CertGetNameStringW(context, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), size);
  if (size <= 1)
    return {};
  name.resize(size - 1);
  return std::u16string(name.begin(), name.end());
}

std::vector<std::uint8_t> certSha1Hash(const Certificate& certificate) {
  PCCERT_CONTEXT context = contextOf(certificate);
  if (!context)
    return {};
  DWORD size = 0;
  if (!CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, nullptr, &size) || size == 0)
    return {};
  std::vector<std::uint8_t> hash(size);
  if (!CertGetCertificateContextProperty(context, CERT_SHA1_HASH_PROP_ID, hash.data(), &size))
    return {};
  hash.resize(size);
  return hash;
}

} // namespace platform
