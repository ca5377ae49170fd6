// Decoding and verifying the Authenticode SignedData and its time-stamps.
#include "platform/posix/trust/AuthenticodeSignature.h"

#include "platform/posix/trust/SignedData.h"
#include "util/Calendar.h"

#include <openssl/objects.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace platform {
namespace {

// SPC_INDIRECT_DATA_OBJID: the content type of an Authenticode SignedData.
constexpr const char* kSpcIndirectData = "1.3.6.1.4.1.311.2.1.4";
// szOID_RFC3161_counterSign: an unauthenticated attribute holding an
// RFC 3161 time-stamp token.
constexpr const char* kRfc3161CounterSign = "1.3.6.1.4.1.311.3.3.1";
// id-ct-TSTInfo: the content type of a time-stamp token.
constexpr const char* kTstInfo = "1.2.840.113549.1.9.16.1.4";

bool isObject(const ASN1_OBJECT* object, const char* dotted) {
  ASN1_OBJECT_ptr expected(OBJ_txt2obj(dotted, 1));
  return object && expected && OBJ_cmp(object, expected.get()) == 0;
}

std::span<const std::uint8_t> bytesOf(const ASN1_STRING* string) {
  if (!string || ASN1_STRING_length(string) <= 0)
    return {};
  return {ASN1_STRING_get0_data(string), static_cast<std::size_t>(ASN1_STRING_length(string))};
}

std::vector<std::uint8_t> digestOf(const EVP_MD* algorithm, std::span<const std::uint8_t> data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(data.data(), data.size(), digest, &length, algorithm, nullptr) != 1)
    return {};
  return std::vector<std::uint8_t>(digest, digest + length);
}

// The DER of an ANY that holds a SEQUENCE (its whole encoding).
std::span<const std::uint8_t> sequenceOf(const ASN1_TYPE* value) {
  if (!value || value->type != V_ASN1_SEQUENCE)
    return {};
  return bytesOf(value->value.sequence);
}

// Ticks of the fraction of a second in a GeneralizedTime ("...SS.fffZ").
std::uint64_t fractionTicks(const ASN1_TIME* time) {
  if (ASN1_STRING_type(time) != V_ASN1_GENERALIZEDTIME)
    return 0;
  std::span<const std::uint8_t> text = bytesOf(time);
  auto dot = std::find(text.begin(), text.end(), '.');
  std::uint64_t ticks = 0;
  int digits = 0;
  for (auto it = dot == text.end() ? dot : dot + 1; it != text.end() && *it >= '0' && *it <= '9';
       ++it) {
    if (digits < 7) {
      ticks = ticks * 10 + static_cast<std::uint64_t>(*it - '0');
      ++digits;
    }
  }
  for (; digits > 0 && digits < 7; ++digits)
    ticks *= 10;
  return ticks;
}

// The payload of an RSA signature's PKCS#1 v1.5 type-1 block, whatever it
// holds; empty when the key is no RSA key or the block is not of that form.
std::vector<std::uint8_t> recoverRsaPayload(EVP_PKEY* key, std::span<const std::uint8_t> signature) {
  if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA)
    return {};
  std::unique_ptr<EVP_PKEY_CTX, OpenSslDeleter<&EVP_PKEY_CTX_free>> context(
      EVP_PKEY_CTX_new(key, nullptr));
  std::size_t length = 0;
  if (!context || EVP_PKEY_verify_recover_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1 ||
      EVP_PKEY_verify_recover(context.get(), nullptr, &length, signature.data(),
                              signature.size()) != 1)
    return {};
  std::vector<std::uint8_t> payload(length);
  if (EVP_PKEY_verify_recover(context.get(), payload.data(), &length, signature.data(),
                              signature.size()) != 1)
    return {};
  payload.resize(length);
  return payload;
}

X509* findCertificate(STACK_OF(X509) * certificates, PKCS7_ISSUER_AND_SERIAL* id) {
  if (!certificates || !id)
    return nullptr;
  return X509_find_by_issuer_and_serial(certificates, id->issuer, id->serial);
}

// A new stack holding (references to) the certificates of both stacks.
X509_STACK_ptr joinCertificates(STACK_OF(X509) * first, STACK_OF(X509) * second) {
  X509_STACK_ptr joined(sk_X509_new_null());
  for (STACK_OF(X509)* stack : {first, second}) {
    for (int i = 0; joined && stack && i < sk_X509_num(stack); ++i) {
      X509* certificate = sk_X509_value(stack, i);
      if (X509_up_ref(certificate) == 1 && !sk_X509_push(joined.get(), certificate))
        X509_free(certificate);
    }
  }
  return joined;
}

// The same from a block decoded in one piece, for encodings the element
// walk does not take (BER with indefinite lengths).
bool decodeWhole(std::span<const std::uint8_t> blob, AuthenticodeSignature& signature,
                 std::span<const std::uint8_t>& indirectData) {
  signature = AuthenticodeSignature{};
  const unsigned char* cursor = blob.data();
  signature.decoded.reset(d2i_PKCS7(nullptr, &cursor, static_cast<long>(blob.size())));
  PKCS7* signedData = signature.decoded.get();
  if (!signedData || !PKCS7_type_is_signed(signedData) || !signedData->d.sign)
    return false;
  PKCS7* contents = signedData->d.sign->contents;
  if (!contents || !isObject(contents->type, kSpcIndirectData))
    return false;
  indirectData = sequenceOf(contents->d.other);
  signature.certificateStack = joinCertificates(signedData->d.sign->cert, nullptr);
  PKCS7_SIGNER_INFO* first = sk_PKCS7_SIGNER_INFO_value(signedData->d.sign->signer_info, 0);
  if (!first)
    return false;
  signature.signerInfo.reset(static_cast<PKCS7_SIGNER_INFO*>(
      ASN1_item_dup(ASN1_ITEM_rptr(PKCS7_SIGNER_INFO), first)));
  return signature.signerInfo != nullptr;
}

// The Authenticode SignedData read element by element, its certificates
// from the cache.
bool readWalked(std::span<const std::uint8_t> blob, AuthenticodeSignature& signature,
                std::span<const std::uint8_t>& indirectData) {
  SignedDataParts parts;
  if (!readSignedData(blob, kSpcIndirectData, parts) || parts.content.empty() ||
      parts.content[0] != (V_ASN1_SEQUENCE | V_ASN1_CONSTRUCTED))
    return false;
  indirectData = parts.content;
  signature.certificateStack = std::move(parts.certificates);
  signature.signerInfo = std::move(parts.firstSigner);
  return true;
}

// A PKCS#9 countersignature: a SignerInfo over the signer's signature value
// whose signing time attribute is the time-stamp.
TimeStamp counterSignature(const ASN1_TYPE* value, const AuthenticodeSignature& signature) {
  TimeStamp stamp;
  stamp.kind = TimeStamp::Kind::CounterSignature;
  std::span<const std::uint8_t> encoded = sequenceOf(value);
  const unsigned char* cursor = encoded.data();
  PKCS7_SIGNER_INFO_ptr signerInfo(
      d2i_PKCS7_SIGNER_INFO(nullptr, &cursor, static_cast<long>(encoded.size())));
  if (!signerInfo)
    return stamp;
  X509* authority = nullptr;
  if (verifySignerInfo(signerInfo.get(), bytesOf(signature.signer->enc_digest),
                       signature.certificates(), nullptr, authority,
                       /*bareDigest=*/true) != SignerCheck::Valid)
    return stamp;
  ASN1_TYPE* signingTime = PKCS7_get_signed_attribute(signerInfo.get(), NID_pkcs9_signingTime);
  if (!signingTime ||
      (signingTime->type != V_ASN1_UTCTIME && signingTime->type != V_ASN1_GENERALIZEDTIME) ||
      !fileTimeOf(signingTime->value.utctime, stamp.time))
    return stamp;
  stamp.authority = authority;
  stamp.intermediates = joinCertificates(signature.certificates(), nullptr);
  stamp.valid = true;
  return stamp;
}

// The genTime of a TSTInfo whose message imprint is the digest of the
// signer's signature value.
bool tstInfoTime(std::span<const std::uint8_t> tstInfo, const AuthenticodeSignature& signature,
                 FileTime& time) {
  const unsigned char* cursor = tstInfo.data();
  TS_TST_INFO_ptr info(d2i_TS_TST_INFO(nullptr, &cursor, static_cast<long>(tstInfo.size())));
  if (!info)
    return false;
  TS_MSG_IMPRINT* imprint = TS_TST_INFO_get_msg_imprint(info.get());
  X509_ALGOR* imprintAlgorithm = imprint ? TS_MSG_IMPRINT_get_algo(imprint) : nullptr;
  const EVP_MD* algorithm = imprintAlgorithm ? supportedDigest(imprintAlgorithm->algorithm) : nullptr;
  return algorithm &&
         sameDigest(algorithm, digestOf(algorithm, bytesOf(signature.signer->enc_digest)),
                    bytesOf(TS_MSG_IMPRINT_get_msg(imprint))) &&
         fileTimeOf(TS_TST_INFO_get_time(info.get()), time);
}

// A token that the element walk does not take (a signer named by its key
// identifier, BER), verified through OpenSSL's CMS: its TSTInfo when the
// token's signer verifies over it, and the authority and the certificates
// for its chain.
bool verifyTokenAsCms(std::span<const std::uint8_t> encoded, const AuthenticodeSignature& signature,
                      TimeStamp& stamp) {
  const unsigned char* cursor = encoded.data();
  CMS_ContentInfo_ptr token(
      d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(encoded.size())));
  if (!token || OBJ_obj2nid(CMS_get0_type(token.get())) != NID_pkcs7_signed ||
      OBJ_obj2nid(CMS_get0_eContentType(token.get())) != NID_id_smime_ct_TSTInfo)
    return false;
  ASN1_OCTET_STRING** content = CMS_get0_content(token.get());
  std::span<const std::uint8_t> tstInfo = content ? bytesOf(*content) : std::span<const std::uint8_t>();
  CMS_SignerInfo* tokenSigner = sk_CMS_SignerInfo_value(CMS_get0_SignerInfos(token.get()), 0);
  if (tstInfo.empty() || !tokenSigner)
    return false;
  X509_STACK_ptr tokenCertificates(CMS_get1_certs(token.get()));
  stamp.intermediates = joinCertificates(tokenCertificates.get(), signature.certificates());
  X509* authority = nullptr;
  for (int i = 0; !authority && i < sk_X509_num(stamp.intermediates.get()); ++i) {
    X509* candidate = sk_X509_value(stamp.intermediates.get(), i);
    if (CMS_SignerInfo_cert_cmp(tokenSigner, candidate) == 0)
      authority = candidate;
  }
  X509_ALGOR* digestAlgorithm = nullptr;
  CMS_SignerInfo_get0_algs(tokenSigner, nullptr, nullptr, &digestAlgorithm, nullptr);
  const EVP_MD* algorithm = digestAlgorithm ? supportedDigest(digestAlgorithm->algorithm) : nullptr;
  auto* messageDigest = static_cast<ASN1_OCTET_STRING*>(CMS_signed_get0_data_by_OBJ(
      tokenSigner, OBJ_nid2obj(NID_pkcs9_messageDigest), -3, V_ASN1_OCTET_STRING));
  if (!authority || !algorithm || !messageDigest ||
      !sameDigest(algorithm, digestOf(algorithm, tstInfo), bytesOf(messageDigest)))
    return false;
  CMS_SignerInfo_set1_signer_cert(tokenSigner, authority);
  if (CMS_SignerInfo_verify(tokenSigner) != 1 || !tstInfoTime(tstInfo, signature, stamp.time) ||
      X509_up_ref(authority) != 1)
    return false;
  stamp.authorityReference.reset(authority);
  stamp.authority = authority;
  return true;
}

// An RFC 3161 time-stamp token: a SignedData of a TSTInfo whose message
// imprint is the digest of the signer's signature value and whose genTime is
// the time-stamp, signed by the time-stamping authority.
TimeStamp rfc3161Token(const ASN1_TYPE* value, const AuthenticodeSignature& signature) {
  TimeStamp stamp;
  stamp.kind = TimeStamp::Kind::Rfc3161;
  std::span<const std::uint8_t> encoded = sequenceOf(value);
  SignedDataParts parts;
  if (!readSignedData(encoded, kTstInfo, parts) || parts.content.empty() ||
      parts.content[0] != V_ASN1_OCTET_STRING) {
    stamp.valid = verifyTokenAsCms(encoded, signature, stamp);
    return stamp;
  }
  std::span<const std::uint8_t> tstInfo = derContents(parts.content);
  X509* authority = nullptr;
  if (verifySignerInfo(parts.firstSigner.get(), tstInfo, parts.certificates.get(),
                       signature.certificates(), authority) != SignerCheck::Valid ||
      !tstInfoTime(tstInfo, signature, stamp.time) || X509_up_ref(authority) != 1)
    return stamp;
  stamp.authorityReference.reset(authority);
  stamp.authority = authority;
  stamp.intermediates = joinCertificates(parts.certificates.get(), signature.certificates());
  stamp.valid = true;
  return stamp;
}

} // namespace

const EVP_MD* supportedDigest(const ASN1_OBJECT* algorithm) {
  switch (OBJ_obj2nid(algorithm)) {
  case NID_md5: return EVP_md5();
  case NID_sha1: return EVP_sha1();
  case NID_sha256: return EVP_sha256();
  case NID_sha384: return EVP_sha384();
  case NID_sha512: return EVP_sha512();
  default: return nullptr;
  }
}

bool sameDigest(const EVP_MD* algorithm, std::span<const std::uint8_t> computed,
                std::span<const std::uint8_t> expected) {
  const int size = algorithm ? EVP_MD_get_size(algorithm) : 0;
  return size > 0 && computed.size() == static_cast<std::size_t>(size) &&
         expected.size() == computed.size() &&
         std::equal(computed.begin(), computed.end(), expected.begin());
}

bool fileTimeOf(const ASN1_TIME* time, FileTime& result) {
  struct tm calendar {};
  if (!time || ASN1_TIME_to_tm(time, &calendar) != 1 || calendar.tm_year + 1900 < 1601 ||
      calendar.tm_year + 1900 > 30827)
    return false;
  CalendarTime fields;
  fields.year = static_cast<std::uint16_t>(calendar.tm_year + 1900);
  fields.month = static_cast<std::uint16_t>(calendar.tm_mon + 1);
  fields.day = static_cast<std::uint16_t>(calendar.tm_mday);
  fields.hour = static_cast<std::uint16_t>(calendar.tm_hour);
  fields.minute = static_cast<std::uint16_t>(calendar.tm_min);
  fields.second = static_cast<std::uint16_t>(calendar.tm_sec);
  FileTime whole;
  if (!calendarToFileTime(fields, whole))
    return false;
  result = FileTime::fromTicks(whole.ticks() + fractionTicks(time));
  return true;
}

SignatureParse parseAuthenticode(std::span<const std::uint8_t> blob,
                                 AuthenticodeSignature& signature) {
  signature = AuthenticodeSignature{};
  std::span<const std::uint8_t> indirectData;
  if (!readWalked(blob, signature, indirectData) && !decodeWhole(blob, signature, indirectData))
    return SignatureParse::NotAuthenticode;
  signature.signer = signature.signerInfo.get();
  signature.indirectData = derContents(indirectData);
  if (signature.indirectData.empty() || !signature.signer->issuer_and_serial ||
      !signature.signer->digest_alg || !signature.signer->enc_digest)
    return SignatureParse::NotAuthenticode;
  // SpcIndirectDataContent ::= SEQUENCE { data SpcAttributeTypeAndOptionalValue,
  //                                       messageDigest DigestInfo }
  const unsigned char* cursor = indirectData.data();
  ASN1_SEQUENCE_ANY_ptr fields(
      d2i_ASN1_SEQUENCE_ANY(nullptr, &cursor, static_cast<long>(indirectData.size())));
  if (!fields || sk_ASN1_TYPE_num(fields.get()) < 2)
    return SignatureParse::NotAuthenticode;
  std::span<const std::uint8_t> digestInfo = sequenceOf(sk_ASN1_TYPE_value(fields.get(), 1));
  cursor = digestInfo.data();
  X509_SIG_ptr digest(d2i_X509_SIG(nullptr, &cursor, static_cast<long>(digestInfo.size())));
  if (!digest)
    return SignatureParse::NotAuthenticode;
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* value = nullptr;
  X509_SIG_get0(digest.get(), &algorithm, &value);
  std::span<const std::uint8_t> digestBytes = bytesOf(value);
  signature.imageDigest.assign(digestBytes.begin(), digestBytes.end());
  const ASN1_OBJECT* algorithmObject = nullptr;
  X509_ALGOR_get0(&algorithmObject, nullptr, nullptr, algorithm);
  signature.imageDigestAlgorithm = supportedDigest(algorithmObject);
  if (!signature.imageDigestAlgorithm)
    return SignatureParse::UnsupportedAlgorithm;
  return SignatureParse::Ok;
}

SignerCheck verifySignerInfo(PKCS7_SIGNER_INFO* signerInfo, std::span<const std::uint8_t> content,
                             STACK_OF(X509) * certificates, STACK_OF(X509) * more,
                             X509*& certificate, bool bareDigest) {
  certificate = findCertificate(certificates, signerInfo->issuer_and_serial);
  if (!certificate)
    certificate = findCertificate(more, signerInfo->issuer_and_serial);
  if (!certificate)
    return SignerCheck::NoCertificate;
  const EVP_MD* algorithm =
      signerInfo->digest_alg ? supportedDigest(signerInfo->digest_alg->algorithm) : nullptr;
  if (!algorithm || !signerInfo->enc_digest)
    return SignerCheck::BadSignature;
  std::span<const std::uint8_t> signed_ = content;
  OpenSslBytes_ptr attributes;
  if (sk_X509_ATTRIBUTE_num(signerInfo->auth_attr) > 0) {
    // The signature covers the authenticated attributes, encoded as a SET
    // in the order they were sent; they vouch for the content through the
    // message digest attribute.
    ASN1_TYPE* messageDigest = PKCS7_get_signed_attribute(signerInfo, NID_pkcs9_messageDigest);
    if (!messageDigest || messageDigest->type != V_ASN1_OCTET_STRING ||
        !sameDigest(algorithm, digestOf(algorithm, content),
                    bytesOf(messageDigest->value.octet_string)))
      return SignerCheck::BadDigest;
    unsigned char* encoded = nullptr;
    int length = ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(signerInfo->auth_attr), &encoded,
                               ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
    attributes.reset(encoded);
    if (length <= 0)
      return SignerCheck::BadSignature;
    signed_ = {encoded, static_cast<std::size_t>(length)};
  }
  EVP_PKEY* key = X509_get0_pubkey(certificate);
  EVP_MD_CTX_ptr context(EVP_MD_CTX_new());
  std::span<const std::uint8_t> signatureValue = bytesOf(signerInfo->enc_digest);
  if (!key || !context)
    return SignerCheck::BadSignature;
  if (EVP_DigestVerifyInit(context.get(), nullptr, algorithm, nullptr, key) == 1 &&
      EVP_DigestVerify(context.get(), signatureValue.data(), signatureValue.size(), signed_.data(),
                       signed_.size()) == 1)
    return SignerCheck::Valid;
  if (bareDigest && (algorithm == EVP_md5() || algorithm == EVP_sha1()) &&
      sameDigest(algorithm, digestOf(algorithm, signed_), recoverRsaPayload(key, signatureValue)))
    return SignerCheck::Valid;
  return SignerCheck::BadSignature;
}

std::vector<TimeStamp> timeStampsOf(const AuthenticodeSignature& signature) {
  std::vector<TimeStamp> stamps;
  STACK_OF(X509_ATTRIBUTE)* attributes = signature.signer ? signature.signer->unauth_attr : nullptr;
  for (bool rfc3161 : {false, true}) {
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i) {
      X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(attributes, i);
      const ASN1_OBJECT* type = X509_ATTRIBUTE_get0_object(attribute);
      bool isCounterSignature = OBJ_obj2nid(type) == NID_pkcs9_countersignature;
      bool isToken = isObject(type, kRfc3161CounterSign);
      if (rfc3161 ? !isToken : !isCounterSignature)
        continue;
      for (int j = 0; j < X509_ATTRIBUTE_count(attribute); ++j) {
        const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, j);
        stamps.push_back(rfc3161 ? rfc3161Token(value, signature)
                                 : counterSignature(value, signature));
      }
    }
  }
  return stamps;
}

} // namespace platform
