// Signature blocks on CryptoAPI: the block read by CryptQueryObject as a
// binary PKCS#7 signed message, its certificates and first signer's
// signature value through CryptMsgGetParam, RSA keys imported with
// CryptImportPublicKeyInfo and signatures checked with CryptVerifySignatureW.
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
  // The certificates as the message lists them, which is the block's
  // order; the certificate store made from the message may enumerate them
  // in another order, depending on the version of the platform.
  std::optional<DWORD> certificateCount = messageCount(message.get(), CMSG_CERT_COUNT_PARAM);
  if (!certificateCount)
    return std::nullopt;
  for (DWORD index = 0; index < *certificateCount; ++index) {
    std::optional<std::vector<std::uint8_t>> der = messageBytes(message.get(), CMSG_CERT_PARAM, index);
    if (!der)
      return std::nullopt;
    Certificate certificate(*der);
    if (!certificate)
      return std::nullopt;
    block.certificates.push_back(std::move(certificate));
  }
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
