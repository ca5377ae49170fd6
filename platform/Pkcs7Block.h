// The signature-block services the archive check relies on: reading a
// binary PKCS#7 signed-data block (CryptQueryObject), its certificates in
// store order (CertFindCertificateInStore, CERT_FIND_ANY), the first
// signer's signature value (CryptMsgGetParam, CMSG_ENCRYPTED_DIGEST),
// importing a certificate's public key for an RSA provider
// (CryptImportPublicKeyInfo) and verifying an RSA PKCS#1 signature over an
// MD5 digest (CryptVerifySignatureW); and verifying the first signer of a
// detached block over its content (CryptMsgControl with
// CMSG_CTRL_VERIFY_SIGNATURE_EX).
#pragma once

#include "platform/Certificate.h"
#include "platform/Digest.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace platform {

struct Pkcs7Block {
  std::vector<Certificate> certificates; // in the order the block stores them
  // The first signer's signature value, big-endian as stored; nothing when
  // the block has no signer.
  std::optional<std::vector<std::uint8_t>> firstSignerSignature;
};

// Parses a binary (DER or BER) PKCS#7 signed-data block; nothing when the
// bytes are anything else.
std::optional<Pkcs7Block> parsePkcs7Block(std::span<const std::uint8_t> bytes);

// The first signer of a detached signed-data block over content, as the
// block names it (by issuer and serial number) among its own certificates:
// its digest algorithm SHA-1, SHA-256, SHA-384 or SHA-512 and its key RSA
// (PKCS#1 v1.5), DSA or ECDSA. With signed attributes, the message digest
// attribute must be the whole digest of content and the signature covers
// the attributes; without, the signature covers content. The certificate
// that verified, as the block stores it; empty when the signer is not
// found, uses another algorithm or does not verify.
Certificate verifyDetachedSigner(std::span<const std::uint8_t> block,
                                 std::span<const std::uint8_t> content);

struct PublicKeyData;
struct PublicKeyDataDeleter {
  void operator()(PublicKeyData* key) const;
};

class RsaPublicKey {
public:
  // The certificate's subject public key; nothing when the certificate is
  // empty or its key is not an RSA key (an RSA provider cannot import it).
  static std::optional<RsaPublicKey> import(const Certificate& certificate);

  // True exactly when signature, given little-endian (least significant
  // byte first, as CryptoAPI takes it), is an RSA PKCS#1 v1.5 signature
  // made with this key over the MD5 value of md5. False for a digest object
  // of another algorithm.
  bool verifyMd5Signature(const Digest& md5, std::span<const std::uint8_t> signature) const;

private:
  RsaPublicKey() = default;
  std::unique_ptr<PublicKeyData, PublicKeyDataDeleter> key;
};

} // namespace platform
