// Certificates on OpenSSL: decoding, the simple display name and the SHA-1
// certificate hash.
#include "platform/Certificate.h"

#include "platform/posix/trust/CertificateImpl.h"
#include "util/Text.h"

#include <openssl/objects.h>

#include <array>

namespace platform {
namespace {

// Text of bytes taken one unit per byte (the 8-bit string types).
std::u16string latin1Text(const unsigned char* data, int length) {
  std::u16string text;
  text.reserve(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i)
    text.push_back(data[i]);
  return text;
}

// True when the bytes are well-formed UTF-8: they survive a round trip.
bool isUtf8(const std::string& bytes) {
  std::u16string wide;
  std::string back;
  return utf8ToWide(bytes, wide) && wideToUtf8(wide, back) && back == bytes;
}

// The text of one attribute value, converted as the platform converts RDN
// values: BMP and universal strings from their code points, UTF-8 strings
// as UTF-8, teletex strings as UTF-8 when they are well-formed UTF-8 and
// otherwise byte by byte, the other 8-bit string types byte by byte.
std::u16string attributeText(const ASN1_STRING* value) {
  if (!value)
    return {};
  const unsigned char* data = ASN1_STRING_get0_data(value);
  int length = ASN1_STRING_length(value);
  if (!data || length <= 0)
    return {};
  std::string raw(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
  std::u16string text;
  switch (ASN1_STRING_type(value)) {
  case V_ASN1_BMPSTRING:
  case V_ASN1_UNIVERSALSTRING: {
    unsigned char* utf8 = nullptr;
    int utf8Length = ASN1_STRING_to_UTF8(&utf8, value);
    OpenSslBytes_ptr owned(utf8);
    if (utf8Length > 0)
      utf8ToWide(std::string(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(utf8Length)), text);
    return text;
  }
  case V_ASN1_UTF8STRING:
    utf8ToWide(raw, text);
    return text;
  case V_ASN1_T61STRING:
    if (isUtf8(raw)) {
      utf8ToWide(raw, text);
      return text;
    }
    return latin1Text(data, length);
  case V_ASN1_PRINTABLESTRING:
  case V_ASN1_IA5STRING:
  case V_ASN1_NUMERICSTRING:
  case V_ASN1_VISIBLESTRING:
  case V_ASN1_GENERALSTRING:
  case V_ASN1_GRAPHICSTRING:
  case V_ASN1_VIDEOTEXSTRING:
    return latin1Text(data, length);
  default:
    return {}; // not a string: no text
  }
}

// The text of the first attribute of the given type in encoded order.
std::u16string firstAttributeText(const X509_NAME* name, int nid) {
  int index = X509_NAME_get_index_by_NID(name, nid, -1);
  if (index < 0)
    return {};
  return attributeText(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
}

// The first rfc822 name of the subject alternative name extension.
std::u16string firstRfc822AltName(X509* certificate) {
  GENERAL_NAMES_ptr names(static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr)));
  if (!names)
    return {};
  for (int i = 0; i < sk_GENERAL_NAME_num(names.get()); ++i) {
    const GENERAL_NAME* entry = sk_GENERAL_NAME_value(names.get(), i);
    if (entry->type == GEN_EMAIL)
      return attributeText(entry->d.rfc822Name);
  }
  return {};
}

// The encoding a certificate was decoded from, kept in the certificate's
// extra data and freed with it.
void freeRememberedEncoding(void*, void* data, CRYPTO_EX_DATA*, int, long, void*) {
  delete static_cast<std::vector<std::uint8_t>*>(data);
}

int encodingIndex() {
  static const int index =
      X509_get_ex_new_index(0, nullptr, nullptr, nullptr, freeRememberedEncoding);
  return index;
}

} // namespace

void rememberEncoding(X509* certificate, std::span<const std::uint8_t> der) {
  const int index = encodingIndex();
  if (!certificate || index < 0 || der.empty() || X509_get_ex_data(certificate, index))
    return;
  auto* copy = new std::vector<std::uint8_t>(der.begin(), der.end());
  if (X509_set_ex_data(certificate, index, copy) != 1)
    delete copy;
}

std::span<const std::uint8_t> rememberedEncoding(const X509* certificate) {
  const int index = encodingIndex();
  if (!certificate || index < 0)
    return {};
  const auto* der = static_cast<const std::vector<std::uint8_t>*>(
      X509_get_ex_data(certificate, index));
  return der ? std::span<const std::uint8_t>(*der) : std::span<const std::uint8_t>();
}

bool certificateSha1(X509* certificate, std::uint8_t (&hash)[20]) {
  unsigned int length = 0;
  std::span<const std::uint8_t> der = rememberedEncoding(certificate);
  if (!der.empty())
    return EVP_Digest(der.data(), der.size(), hash, &length, EVP_sha1(), nullptr) == 1 &&
           length == 20;
  return certificate && X509_digest(certificate, EVP_sha1(), hash, &length) == 1 && length == 20;
}

Certificate::Certificate(std::span<const std::uint8_t> der) {
  const unsigned char* cursor = der.data();
  X509_ptr x509(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
  if (!x509)
    return;
  std::vector<std::uint8_t> encoding(der.data(), cursor);
  impl = std::make_shared<const CertificateImpl>(std::move(x509), std::move(encoding));
}

Certificate::Certificate(std::shared_ptr<const CertificateImpl> decoded)
    : impl(std::move(decoded)) {}

std::span<const std::uint8_t> Certificate::encoded() const {
  if (!impl)
    return {};
  return impl->der;
}

Certificate wrapCertificate(X509_ptr certificate) {
  if (!certificate)
    return {};
  std::span<const std::uint8_t> sent = rememberedEncoding(certificate.get());
  if (!sent.empty()) {
    std::vector<std::uint8_t> encoding(sent.begin(), sent.end());
    return Certificate(
        std::make_shared<const CertificateImpl>(std::move(certificate), std::move(encoding)));
  }
  unsigned char* bytes = nullptr;
  int length = i2d_X509(certificate.get(), &bytes);
  OpenSslBytes_ptr owned(bytes);
  if (length <= 0)
    return {};
  std::vector<std::uint8_t> encoding(bytes, bytes + length);
  return Certificate(
      std::make_shared<const CertificateImpl>(std::move(certificate), std::move(encoding)));
}

Certificate wrapCertificateRef(X509* certificate) {
  if (!certificate || X509_up_ref(certificate) != 1)
    return {};
  return wrapCertificate(X509_ptr(certificate));
}

X509* x509Of(const Certificate& certificate) {
  const CertificateImpl* impl = certificate.get();
  return impl ? impl->x509.get() : nullptr;
}

std::u16string certSimpleDisplayName(const Certificate& certificate) {
  X509* x509 = x509Of(certificate);
  if (!x509)
    return {};
  const X509_NAME* subject = X509_get_subject_name(x509);
  for (int nid : {NID_commonName, NID_organizationalUnitName, NID_organizationName,
                  NID_pkcs9_emailAddress}) {
    std::u16string text = firstAttributeText(subject, nid);
    if (!text.empty())
      return text;
  }
  std::u16string altName = firstRfc822AltName(x509);
  if (!altName.empty())
    return altName;
  if (X509_NAME_entry_count(subject) > 0)
    return attributeText(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, 0)));
  return {};
}

std::vector<std::uint8_t> certSha1Hash(const Certificate& certificate) {
  std::span<const std::uint8_t> der = certificate.encoded();
  if (der.empty())
    return {};
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(der.data(), der.size(), digest.data(), &length, EVP_sha1(), nullptr) != 1)
    return {};
  return std::vector<std::uint8_t>(digest.begin(), digest.begin() + length);
}

} // namespace platform
