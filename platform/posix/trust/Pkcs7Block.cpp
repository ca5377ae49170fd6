// PKCS#7 signature blocks, RSA verification over MD5 and detached signers
// on OpenSSL.
#include "platform/Pkcs7Block.h"

#include "platform/posix/trust/AuthenticodeSignature.h"
#include "platform/posix/trust/CertificateCache.h"
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
      // Known certificates come decoded from the process's cache.
      Certificate certificate = wrapCertificate(cachedCertificate(encoding));
      if (!certificate)
        certificate = Certificate{encoding};
      if (certificate)
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

// A signature block's certificates and first signer. The block is read
// element by element with its certificates from the process's cache (an
// installation's archives are mostly signed with the same few certificates),
// and decoded whole by OpenSSL only when the walk cannot read it (BER with
// indefinite lengths, a signer named by its key identifier).
struct SignatureBlock {
  SignedDataParts walked;
  PKCS7_ptr decoded;
  STACK_OF(X509)* certificates = nullptr;   // of walked or decoded
  PKCS7_SIGNER_INFO* firstSigner = nullptr; // of walked or decoded; may be null
};

bool readBlock(std::span<const std::uint8_t> bytes, SignatureBlock& block) {
  if (readSignedData(bytes, nullptr, block.walked)) {
    block.certificates = block.walked.certificates.get();
    block.firstSigner = block.walked.firstSigner.get();
    return true;
  }
  block.decoded = decodeSignedBlock(bytes);
  if (!block.decoded)
    return false;
  block.certificates = block.decoded->d.sign->cert;
  block.firstSigner = firstSigner(block.decoded.get());
  return true;
}

// The block's certificates, each with the bytes it was sent in.
std::vector<Certificate> blockCertificates(std::span<const std::uint8_t> bytes,
                                           const SignatureBlock& block) {
  if (block.decoded)
    return storedCertificates(bytes, block.decoded.get());
  std::vector<Certificate> certificates;
  for (int i = 0; i < sk_X509_num(block.certificates); ++i) {
    if (Certificate certificate = wrapCertificateRef(sk_X509_value(block.certificates, i)))
      certificates.push_back(std::move(certificate));
  }
  return certificates;
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
  SignatureBlock read;
  if (!readBlock(bytes, read))
    return std::nullopt;
  Pkcs7Block block;
  block.certificates = blockCertificates(bytes, read);
  const PKCS7_SIGNER_INFO* first = read.firstSigner;
  if (first && first->enc_digest) {
    const unsigned char* data = ASN1_STRING_get0_data(first->enc_digest);
    int length = ASN1_STRING_length(first->enc_digest);
    block.firstSignerSignature.emplace(data, data + std::max(length, 0));
  }
  return block;
}

Certificate verifyDetachedSigner(std::span<const std::uint8_t> block,
                                 std::span<const std::uint8_t> content) {
  SignatureBlock read;
  PKCS7_SIGNER_INFO* signer = readBlock(block, read) ? read.firstSigner : nullptr;
  if (!signer || content.empty() || !isDetachedSignerDigest(signer->digest_alg))
    return {};
  X509* verified = nullptr;
  if (verifySignerInfo(signer, content, read.certificates, nullptr, verified) !=
      SignerCheck::Valid)
    return {};
  for (Certificate& certificate : blockCertificates(block, read)) {
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
