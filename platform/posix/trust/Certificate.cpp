// Certificates on OpenSSL: decoding, the simple display name and the SHA-1
// certificate hash.
#include "platform/Certificate.h"

#include "platform/posix/trust/CertificateImpl.h"
#include "util/Text.h"

#include <openssl/objects.h>

#include <algorithm>
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

// One validity time as X509_cmp_time reads it: valid when it has the one
// form that function takes (YYMMDDHHMMSSZ or YYYYMMDDHHMMSSZ) and is a real
// date; then its seconds since 1970.
struct ValidityTime {
  bool valid = false;
  std::int64_t seconds = 0;
};

// Days from 1970-01-01 to the date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

ValidityTime readValidityTime(const ASN1_TIME* time) {
  ValidityTime read;
  if (!time)
    return read;
  const int type = ASN1_STRING_type(time);
  const int length = ASN1_STRING_length(time);
  const unsigned char* text = ASN1_STRING_get0_data(time);
  if (!text || !((type == V_ASN1_UTCTIME && length == 13) ||
                 (type == V_ASN1_GENERALIZEDTIME && length == 15)))
    return read;
  for (int i = 0; i < length - 1; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return read;
  }
  struct tm fields {};
  if (text[length - 1] != 'Z' || ASN1_TIME_to_tm(time, &fields) != 1)
    return read;
  read.valid = true;
  read.seconds = daysFromCivil(fields.tm_year + 1900, unsigned(fields.tm_mon + 1),
                               unsigned(fields.tm_mday)) * 86400 +
                 fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec;
  return read;
}

// What is kept with a decoded certificate: the encoding it was decoded
// from and its validity times as read then; freed with the certificate.
struct Remembered {
  std::vector<std::uint8_t> der;
  ValidityTime notBefore;
  ValidityTime notAfter;
  bool hashed = false;                // sha1 holds the SHA-1 of der
  std::array<std::uint8_t, 20> sha1{};
};

void freeRememberedEncoding(void*, void* data, CRYPTO_EX_DATA*, int, long, void*) {
  delete static_cast<Remembered*>(data);
}

int encodingIndex() {
  static const int index =
      X509_get_ex_new_index(0, nullptr, nullptr, nullptr, freeRememberedEncoding);
  return index;
}

const Remembered* rememberedOf(const X509* certificate) {
  const int index = encodingIndex();
  if (!certificate || index < 0)
    return nullptr;
  return static_cast<const Remembered*>(X509_get_ex_data(certificate, index));
}

} // namespace

void rememberEncoding(X509* certificate, std::span<const std::uint8_t> der) {
  const int index = encodingIndex();
  if (!certificate || index < 0 || der.empty() || X509_get_ex_data(certificate, index))
    return;
  auto* copy = new Remembered{std::vector<std::uint8_t>(der.begin(), der.end()),
                              readValidityTime(X509_get0_notBefore(certificate)),
                              readValidityTime(X509_get0_notAfter(certificate))};
  unsigned int length = 0;
  copy->hashed = EVP_Digest(der.data(), der.size(), copy->sha1.data(), &length, EVP_sha1(),
                            nullptr) == 1 &&
                 length == copy->sha1.size();
  if (X509_set_ex_data(certificate, index, copy) != 1)
    delete copy;
}

std::span<const std::uint8_t> rememberedEncoding(const X509* certificate) {
  const Remembered* remembered = rememberedOf(certificate);
  return remembered ? std::span<const std::uint8_t>(remembered->der)
                    : std::span<const std::uint8_t>();
}

int compareValidityTime(X509* certificate, bool notAfter, const std::time_t* at) {
  // Times from 1970 up to the last second of 9999, as OpenSSL writes them
  // for the comparison; anything else goes to OpenSSL itself.
  constexpr std::time_t kYear10000 = 253402300800;
  const Remembered* remembered = rememberedOf(certificate);
  if (!remembered || !at || *at < 0 || *at >= kYear10000)
    return X509_cmp_time(notAfter ? X509_get0_notAfter(certificate)
                                  : X509_get0_notBefore(certificate),
                         const_cast<std::time_t*>(at));
  const ValidityTime& time = notAfter ? remembered->notAfter : remembered->notBefore;
  if (!time.valid)
    return 0;
  return time.seconds <= *at ? -1 : 1;
}

bool certificateSha1(X509* certificate, std::uint8_t (&hash)[20]) {
  if (const Remembered* remembered = rememberedOf(certificate); remembered && remembered->hashed) {
    std::copy(remembered->sha1.begin(), remembered->sha1.end(), hash);
    return true;
  }
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
  // The hash taken when the certificate was decoded, when it was taken over
  // these same bytes.
  const Remembered* remembered = rememberedOf(x509Of(certificate));
  if (remembered && remembered->hashed && remembered->der.size() == der.size() &&
      std::equal(der.begin(), der.end(), remembered->der.begin()))
    return std::vector<std::uint8_t>(remembered->sha1.begin(), remembered->sha1.end());
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(der.data(), der.size(), digest.data(), &length, EVP_sha1(), nullptr) != 1)
    return {};
  return std::vector<std::uint8_t>(digest.begin(), digest.begin() + length);
}

} // namespace platform
