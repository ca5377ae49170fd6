// The Authenticode signature block of a PE image: the PKCS#7 SignedData
// whose content is an SpcIndirectDataContent carrying the image digest, its
// first signer, and the signer's time-stamps (PKCS#9 countersignatures and
// RFC 3161 time-stamp tokens).
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"
#include "util/FileTime.h"

#include <cstdint>
#include <span>
#include <vector>

namespace platform {

struct AuthenticodeSignature {
  X509_STACK_ptr certificateStack;                // the block's certificates
  PKCS7_SIGNER_INFO_ptr signerInfo;               // the first signer
  PKCS7_SIGNER_INFO* signer = nullptr;            // signerInfo.get()
  const EVP_MD* imageDigestAlgorithm = nullptr;   // of the SpcIndirectDataContent digest
  std::vector<std::uint8_t> imageDigest;          // the digest the signer vouches for
  std::span<const std::uint8_t> indirectData;     // content octets the signer's digest covers
  PKCS7_ptr decoded; // the whole block, when it had to be decoded in one piece (BER)

  STACK_OF(X509) * certificates() const { return certificateStack.get(); }
};

enum class SignatureParse {
  Ok,
  NotAuthenticode,      // no SignedData of SpcIndirectDataContent with a signer
  UnsupportedAlgorithm, // the image digest algorithm is none we compute
};

// Decodes the block (bytes after its encoding, such as the padding of the
// certificate table, are ignored). Its certificates come from the process's
// certificate cache. The spans of signature point into blob.
SignatureParse parseAuthenticode(std::span<const std::uint8_t> blob,
                                 AuthenticodeSignature& signature);

enum class SignerCheck {
  Valid,
  NoCertificate, // the signer's certificate is not among those given
  BadDigest,     // the message digest attribute does not match the content
  BadSignature,  // the signature over the authenticated attributes fails
};

// Verifies a SignerInfo over content: its certificate (by issuer and serial
// number, from certificates, then from more), its message digest attribute
// against the digest of content, and its signature value. Without
// authenticated attributes the signature covers the content itself. On
// success certificate is the signer's certificate (not owned).
// With bareDigest, an RSA signature value whose PKCS#1 v1.5 block (type 1)
// holds the bare MD5 or SHA-1 digest of the signed bytes, of the signer's
// own digest algorithm, without the DigestInfo around it, is accepted too:
// the form of the PKCS#9 countersignatures of early time-stamping services,
// which the platform accepts for countersignatures only.
SignerCheck verifySignerInfo(PKCS7_SIGNER_INFO* signerInfo, std::span<const std::uint8_t> content,
                             STACK_OF(X509) * certificates, STACK_OF(X509) * more,
                             X509*& certificate, bool bareDigest = false);

// One time-stamp of the first signer.
struct TimeStamp {
  enum class Kind { CounterSignature, Rfc3161 };
  Kind kind = Kind::CounterSignature;
  bool valid = false;          // verified over the signer's signature value
  FileTime time;               // signing time or genTime (UTC), when valid
  X509* authority = nullptr;   // the time-stamping certificate, when valid (not owned)
  X509_ptr authorityReference; // keeps authority alive where the signature does not
  X509_STACK_ptr intermediates; // where the authority's chain may come from
};

// Every time-stamp of the first signer, PKCS#9 countersignatures first, then
// RFC 3161 tokens, each verified.
std::vector<TimeStamp> timeStampsOf(const AuthenticodeSignature& signature);

// The digest algorithms an image digest or a signer may use: MD5, SHA-1,
// SHA-256, SHA-384, SHA-512. Null for any other.
const EVP_MD* supportedDigest(const ASN1_OBJECT* algorithm);

// True when computed, the digest of some bytes with algorithm, equals the
// value expected: both must have the algorithm's size. A digest that could
// not be computed (empty, as when the platform refuses the algorithm) never
// matches, not even an empty or cut value.
bool sameDigest(const EVP_MD* algorithm, std::span<const std::uint8_t> computed,
                std::span<const std::uint8_t> expected);

// The time as FILETIME ticks (UTC), fractions of a second included where the
// encoding has them. False when the text is no valid time.
bool fileTimeOf(const ASN1_TIME* time, FileTime& result);

} // namespace platform
