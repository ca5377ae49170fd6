// Signature blocks on CryptoAPI: the block read by CryptQueryObject as a
// binary PKCS#7 signed message, its certificates and first signer's
// signature value through CryptMsgGetParam, RSA keys imported with
// CryptImportPublicKeyInfo and signatures checked with CryptVerifySignatureW;
// detached signers verified by CryptMsgControl over the decoded message and
// its content.
#include "platform/Pkcs7Block.h"

#include "platform/windows/CertificateContext.h"

#include <cstring>

namespace platform {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// A message parameter that is a byte string (index-th of its kind).
std::optional<std::vector<std::uint8_t>> messageBytes(HCRYPTMSG message, DWORD parameter, DWORD index) {
  DWORD size = 0;
  if (!CryptMsgGetParam(message, parameter, index, nullptr, &size))
    return std::nullopt;
  std::vector<std::uint8_t> bytes(size);
  if (size > 0 && !CryptMsgGetParam(message, parameter, index, bytes.data(), &size))
    return std::nullopt;
  bytes.resize(size);
  return bytes;
}

std::optional<DWORD> messageCount(HCRYPTMSG message, DWORD parameter) {
  DWORD count = 0;
  DWORD size = sizeof(count);
  if (!CryptMsgGetParam(message, parameter, 0, &count, &size))
    return std::nullopt;
  return count;
}

// The first signer's signature value (its encrypted digest), big-endian as
// stored. Read from the signer's whole CMSG_SIGNER_INFO: every version of
// the platform decodes that, while the shortcut CMSG_ENCRYPTED_DIGEST is
// not offered by all of them.
std::optional<std::vector<std::uint8_t>> firstSignerSignature(HCRYPTMSG message) {
  std::optional<std::vector<std::uint8_t>> info = messageBytes(message, CMSG_SIGNER_INFO_PARAM, 0);
  if (!info || info->size() < sizeof(CMSG_SIGNER_INFO))
    return std::nullopt;
  // The parameter is a CMSG_SIGNER_INFO whose pointers lead into the same
  // buffer, whose storage (from operator new) is aligned for it.
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(info->data());
  const CRYPT_DATA_BLOB& hash = signer->EncryptedHash;
  if (hash.cbData == 0 || !hash.pbData)
    return std::nullopt;
  return std::vector<std::uint8_t>(hash.pbData, hash.pbData + hash.cbData);
}

// The certificates as the message lists them, which is the block's order;
// the certificate store made from the message may enumerate them in another
// order, depending on the version of the platform. Nothing when one cannot
// be read.
std::optional<std::vector<Certificate>> messageCertificates(HCRYPTMSG message) {
  std::optional<DWORD> count = messageCount(message, CMSG_CERT_COUNT_PARAM);
  if (!count)
    return std::nullopt;
  std::vector<Certificate> certificates;
  for (DWORD index = 0; index < *count; ++index) {
    std::optional<std::vector<std::uint8_t>> der = messageBytes(message, CMSG_CERT_PARAM, index);
    if (!der)
      return std::nullopt;
    Certificate certificate(*der);
    if (!certificate)
      return std::nullopt;
    certificates.push_back(std::move(certificate));
  }
  return certificates;
}

// The digest algorithms a detached signer may use, by object identifier.
struct SignerDigest {
  const char* oid;
  DigestAlgorithm algorithm;
};
constexpr SignerDigest kSignerDigests[] = {
    {"1.3.14.3.2.26", DigestAlgorithm::Sha1},
    {"2.16.840.1.101.3.4.2.1", DigestAlgorithm::Sha256},
    {"2.16.840.1.101.3.4.2.2", DigestAlgorithm::Sha384},
    {"2.16.840.1.101.3.4.2.3", DigestAlgorithm::Sha512},
};

std::optional<DigestAlgorithm> signerDigest(const char* oid) {
  for (const SignerDigest& digest : kSignerDigests) {
    if (oid && std::strcmp(oid, digest.oid) == 0)
      return digest.algorithm;
  }
  return std::nullopt;
}

// The value of the signer's message digest attribute (one DER OCTET STRING),
// or nothing.
std::optional<std::vector<std::uint8_t>> messageDigestAttribute(const CMSG_SIGNER_INFO& signer) {
  for (DWORD i = 0; i < signer.AuthAttrs.cAttr; ++i) {
    const CRYPT_ATTRIBUTE& attribute = signer.AuthAttrs.rgAttr[i];
    if (!attribute.pszObjId || std::strcmp(attribute.pszObjId, szOID_PKCS_9_MESSAGE_DIGEST) != 0 ||
        attribute.cValue != 1)
      continue;
    const CRYPT_ATTR_BLOB& value = attribute.rgValue[0];
    DWORD size = 0;
    if (!CryptDecodeObject(X509_ASN_ENCODING, X509_OCTET_STRING, value.pbData, value.cbData, 0,
                           nullptr, &size))
      return std::nullopt;
    // Storage from operator new is aligned for the blob at its start.
    std::vector<std::uint8_t> decoded(size);
    if (!CryptDecodeObject(X509_ASN_ENCODING, X509_OCTET_STRING, value.pbData, value.cbData, 0,
                           decoded.data(), &size))
      return std::nullopt;
    const auto* octets = reinterpret_cast<const CRYPT_DATA_BLOB*>(decoded.data());
    return std::vector<std::uint8_t>(octets->pbData, octets->pbData + octets->cbData);
  }
  return std::nullopt;
}

// True when the certificate is the one the signer names by issuer and
// serial number.
bool namedBySigner(const Certificate& certificate, const CMSG_SIGNER_INFO& signer) {
  PCCERT_CONTEXT context = contextOf(certificate);
  CERT_NAME_BLOB issuer = signer.Issuer;
  CRYPT_INTEGER_BLOB serial = signer.SerialNumber;
  return context &&
         CertCompareCertificateName(X509_ASN_ENCODING, &context->pCertInfo->Issuer, &issuer) &&
         CertCompareIntegerBlob(&context->pCertInfo->SerialNumber, &serial);
}

} // namespace

std::optional<Pkcs7Block> parsePkcs7Block(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > MAXDWORD)
    return std::nullopt;
  CERT_BLOB blob{DWORD(bytes.size()), const_cast<BYTE*>(bytes.data())};
  DWORD contentType = 0;
  HCRYPTMSG rawMessage = nullptr;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &blob, CERT_QUERY_CONTENT_FLAG_ALL,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, &contentType, nullptr, nullptr,
                        &rawMessage, nullptr))
    return std::nullopt;
  CryptMsgPtr message(rawMessage);
  // Other objects the query recognises (a lone certificate, a certificate
  // list, an unsigned message) are no signature block.
  if (contentType != CERT_QUERY_CONTENT_PKCS7_SIGNED || !message)
    return std::nullopt;

  Pkcs7Block block;
  std::optional<std::vector<Certificate>> certificates = messageCertificates(message.get());
  if (!certificates)
    return std::nullopt;
  block.certificates = std::move(*certificates);
  std::optional<DWORD> signerCount = messageCount(message.get(), CMSG_SIGNER_COUNT_PARAM);
  if (signerCount && *signerCount > 0)
    block.firstSignerSignature = firstSignerSignature(message.get());
  return block;
}

struct PublicKeyData {
  CryptProvider provider; // declared first: released after the key
  CryptKey key;
};

void PublicKeyDataDeleter::operator()(PublicKeyData* key) const { delete key; }

std::optional<RsaPublicKey> RsaPublicKey::import(const Certificate& certificate) {
  PCCERT_CONTEXT context = contextOf(certificate);
  if (!context)
    return std::nullopt;
  CERT_PUBLIC_KEY_INFO& info = context->pCertInfo->SubjectPublicKeyInfo;
  // An RSA provider imports only RSA keys; asking first keeps keys of other
  // algorithms out whatever the provider would make of them.
  if (!info.Algorithm.pszObjId || std::strcmp(info.Algorithm.pszObjId, szOID_RSA_RSA) != 0)
    return std::nullopt;
  std::unique_ptr<PublicKeyData, PublicKeyDataDeleter> data(new PublicKeyData);
  data->provider = acquireVerifyProvider(PROV_RSA_FULL);
  if (!data->provider)
    return std::nullopt;
  HCRYPTKEY key = 0;
  if (!CryptImportPublicKeyInfo(data->provider.get(), kEncoding, &info, &key))
    return std::nullopt;
  data->key = CryptKey(key);
  RsaPublicKey result;
  result.key = std::move(data);
  return result;
}

bool RsaPublicKey::verifyMd5Signature(const Digest& md5, std::span<const std::uint8_t> signature) const {
  if (!key || md5.algorithm() != DigestAlgorithm::Md5 || signature.empty() ||
      signature.size() > MAXDWORD)
    return false;
  std::optional<std::vector<std::uint8_t>> value = md5.value();
  if (!value || value->size() != kMd5DigestSize)
    return false;
  // A key verifies only over hash objects of its own provider: carry the
  // digest value over into one.
  HCRYPTHASH rawHash = 0;
  if (!CryptCreateHash(key->provider.get(), CALG_MD5, 0, 0, &rawHash))
    return false;
  CryptHash hash(rawHash);
  if (!CryptSetHashParam(hash.get(), HP_HASHVAL, value->data(), 0))
    return false;
  return CryptVerifySignatureW(hash.get(), signature.data(), DWORD(signature.size()), key->key.get(),
                               nullptr, 0) != FALSE;
}

} // namespace platform

namespace platform {

Certificate verifyDetachedSigner(std::span<const std::uint8_t> block,
                                 std::span<const std::uint8_t> content) {
  if (block.empty() || content.empty() || block.size() > MAXDWORD || content.size() > MAXDWORD)
    return {};
  CryptMsgPtr message(CryptMsgOpenToDecode(kEncoding, CMSG_DETACHED_FLAG, 0, 0, nullptr, nullptr));
  if (!message || !CryptMsgUpdate(message.get(), block.data(), DWORD(block.size()), TRUE))
    return {};
  DWORD type = 0;
  DWORD typeSize = sizeof(type);
  if (!CryptMsgGetParam(message.get(), CMSG_TYPE_PARAM, 0, &type, &typeSize) || type != CMSG_SIGNED)
    return {};
  // The detached content follows the message.
  if (!CryptMsgUpdate(message.get(), content.data(), DWORD(content.size()), TRUE))
    return {};
  std::optional<std::vector<std::uint8_t>> info = messageBytes(message.get(), CMSG_SIGNER_INFO_PARAM, 0);
  if (!info || info->size() < sizeof(CMSG_SIGNER_INFO))
    return {};
  // The parameter is a CMSG_SIGNER_INFO whose pointers lead into the same
  // buffer, whose storage (from operator new) is aligned for it.
  const auto& signer = *reinterpret_cast<const CMSG_SIGNER_INFO*>(info->data());
  std::optional<DigestAlgorithm> algorithm = signerDigest(signer.HashAlgorithm.pszObjId);
  std::optional<std::vector<Certificate>> certificates = messageCertificates(message.get());
  if (!algorithm || !certificates)
    return {};
  Certificate certificate;
  for (const Certificate& candidate : *certificates) {
    if (namedBySigner(candidate, signer)) {
      certificate = candidate;
      break;
    }
  }
  if (!certificate)
    return {};
  // Signed attributes vouch for the content through the message digest
  // attribute: it must be the whole digest of the content. Compared here
  // too, since not every version of the platform compares it.
  if (signer.AuthAttrs.cAttr > 0) {
    std::optional<std::vector<std::uint8_t>> expected = messageDigestAttribute(signer);
    Digest digest(*algorithm);
    std::optional<std::vector<std::uint8_t>> computed =
        digest.update(content) ? digest.value() : std::nullopt;
    if (!expected || !computed || computed->size() != digestSize(*algorithm) || *computed != *expected)
      return {};
  }
  CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verification{};
  verification.cbSize = sizeof(verification);
  verification.dwSignerIndex = 0;
  verification.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
  verification.pvSigner = const_cast<CERT_CONTEXT*>(contextOf(certificate));
  if (!CryptMsgControl(message.get(), 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verification))
    return {};
  return certificate;
}

} // namespace platform
