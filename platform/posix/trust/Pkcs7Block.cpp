// PKCS#7 signature blocks, RSA verification over MD5 and detached signers
// on OpenSSL.
#include "platform/Pkcs7Block.h"

#include "platform/posix/trust/AuthenticodeSignature.h"
#include "platform/posix/trust/CertificateImpl.h"
#include "platform/posix/trust/OpenSslPtr.h"
#include "platform/posix/trust/SignedData.h"

#include <openssl/rsa.h>

namespace platform {

namespace {

PKCS7_ptr decodeSignedBlock(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > std::size_t(LONG_MAX))
    return {};
  const unsigned char* cursor = bytes.data();
  PKCS7_ptr message(d2i_PKCS7(nullptr, &cursor, long(bytes.size())));
  if (!message || !PKCS7_type_is_signed(message.get()) || !message->d.sign)
    return {};
  return message;
}

// The certificates as they are stored, so that each keeps the bytes it was
// sent in (its thumbprint is taken over them); decoded again from the
// whole block when the element walk cannot read it.
std::vector<Certificate> storedCertificates(std::span<const std::uint8_t> bytes, PKCS7* message) {
  std::vector<Certificate> certificates;
  std::vector<std::span<const std::uint8_t>> encodings;
  STACK_OF(X509)* decoded = message->d.sign->cert;
  if (signedDataCertificateEncodings(bytes, encodings) &&
      encodings.size() == static_cast<std::size_t>(std::max(sk_X509_num(decoded), 0))) {
    for (std::span<const std::uint8_t> encoding : encodings) {
      if (Certificate certificate{encoding})
        certificates.push_back(std::move(certificate));
    }
  } else {
    for (int i = 0; i < sk_X509_num(decoded); ++i) {
      if (Certificate certificate = wrapCertificateRef(sk_X509_value(decoded, i)))
        certificates.push_back(std::move(certificate));
    }
  }
  return certificates;
}

PKCS7_SIGNER_INFO* firstSigner(PKCS7* message) {
  STACK_OF(PKCS7_SIGNER_INFO)* signers = message->d.sign->signer_info;
  return signers && sk_PKCS7_SIGNER_INFO_num(signers) > 0 ? sk_PKCS7_SIGNER_INFO_value(signers, 0)
                                                          : nullptr;
}

// The digest algorithms a detached signer may use.
bool isDetachedSignerDigest(const X509_ALGOR* algorithm) {
  switch (algorithm ? OBJ_obj2nid(algorithm->algorithm) : NID_undef) {
  case NID_sha1:
  case NID_sha256:
  case NID_sha384:
  case NID_sha512: return true;
  default: return false;
  }
}

} // namespace

std::optional<Pkcs7Block> parsePkcs7Block(std::span<const std::uint8_t> bytes) {
  PKCS7_ptr message = decodeSignedBlock(bytes);
  if (!message)
    return std::nullopt;
  Pkcs7Block block;
  block.certificates = storedCertificates(bytes, message.get());
  const PKCS7_SIGNER_INFO* first = firstSigner(message.get());
  if (first && first->enc_digest) {
    const unsigned char* data = ASN1_STRING_get0_data(first->enc_digest);
    int length = ASN1_STRING_length(first->enc_digest);
    block.firstSignerSignature.emplace(data, data + std::max(length, 0));
  }
  return block;
}

Certificate verifyDetachedSigner(std::span<const std::uint8_t> block,
                                 std::span<const std::uint8_t> content) {
  PKCS7_ptr message = decodeSignedBlock(block);
  PKCS7_SIGNER_INFO* signer = message ? firstSigner(message.get()) : nullptr;
  if (!signer || content.empty() || !isDetachedSignerDigest(signer->digest_alg))
    return {};
  X509* verified = nullptr;
  if (verifySignerInfo(signer, content, message->d.sign->cert, nullptr, verified) !=
      SignerCheck::Valid)
    return {};
  for (Certificate& certificate : storedCertificates(block, message.get())) {
    if (X509_cmp(x509Of(certificate), verified) == 0)
      return certificate;
  }
  return wrapCertificateRef(verified);
}

struct PublicKeyData {
  EVP_PKEY_ptr key;
};

void PublicKeyDataDeleter::operator()(PublicKeyData* key) const { delete key; }

std::optional<RsaPublicKey> RsaPublicKey::import(const Certificate& certificate) {
  X509* x509 = x509Of(certificate);
  if (!x509)
    return std::nullopt;
  EVP_PKEY_ptr key(X509_get_pubkey(x509));
  if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA)
    return std::nullopt;
  RsaPublicKey imported;
  imported.key.reset(new PublicKeyData{std::move(key)});
  return imported;
}

bool RsaPublicKey::verifyMd5Signature(const Digest& md5,
                                      std::span<const std::uint8_t> signature) const {
  if (!key || md5.algorithm() != DigestAlgorithm::Md5)
    return false;
  std::optional<std::vector<std::uint8_t>> digest = md5.value();
  if (!digest || digest->size() != kMd5DigestSize)
    return false;
  std::vector<std::uint8_t> bigEndian(signature.rbegin(), signature.rend());

  std::unique_ptr<EVP_PKEY_CTX, OpenSslDeleter<&EVP_PKEY_CTX_free>> context(
      EVP_PKEY_CTX_new(key->key.get(), nullptr));
  if (!context || EVP_PKEY_verify_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1 ||
      EVP_PKEY_CTX_set_signature_md(context.get(), EVP_md5()) != 1)
    return false;
  return EVP_PKEY_verify(context.get(), bigEndian.data(), bigEndian.size(), digest->data(),
                         digest->size()) == 1;
}

} // namespace platform
