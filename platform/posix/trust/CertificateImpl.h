// The inside of platform::Certificate: a decoded OpenSSL certificate with
// the encoding it was read from. Included only by platform/ sources, which
// wrap the certificates they extract (from signature blocks, stores) with
// wrapCertificate and reach the X509 of a Certificate with x509Of.
#pragma once

#include "platform/Certificate.h"
#include "platform/posix/trust/OpenSslPtr.h"

#include <cstdint>
#include <ctime>
#include <span>
#include <vector>

namespace platform {

class CertificateImpl {
public:
  CertificateImpl(X509_ptr certificate, std::vector<std::uint8_t> encoding)
      : x509(std::move(certificate)), der(std::move(encoding)) {}

  X509_ptr x509;                 // never null
  std::vector<std::uint8_t> der; // the encoding the certificate came from
};

// Takes ownership of a decoded certificate. Its encoding is the one it was
// decoded from when that was remembered (rememberEncoding), else OpenSSL's
// encoding of it. Empty for null.
Certificate wrapCertificate(X509_ptr certificate);

// Shares a certificate that other code owns too (takes a new reference).
Certificate wrapCertificateRef(X509* certificate);

// Keeps the bytes a certificate was decoded from with the decoded object,
// for as long as it lives. A certificate's hash and the encoding handed to
// the core are taken over these bytes: OpenSSL re-encodes what it decoded,
// and a certificate sent in an encoding that is not strictly DER would then
// get another hash than the one its sender and the platform compute. Call it
// before the certificate is shared between threads.
void rememberEncoding(X509* certificate, std::span<const std::uint8_t> der);

// X509_cmp_time(notBefore or notAfter of certificate, at): 0 when the time
// field is no valid time, -1 when it is at or before at, 1 when after; from
// the times read when the encoding was remembered, else by OpenSSL. at null
// means now.
int compareValidityTime(X509* certificate, bool notAfter, const std::time_t* at);

// The remembered encoding; empty when none was remembered.
std::span<const std::uint8_t> rememberedEncoding(const X509* certificate);

// The SHA-1 hash of the certificate's encoding as it was sent (remembered),
// else of OpenSSL's encoding. False when it cannot be computed.
bool certificateSha1(X509* certificate, std::uint8_t (&hash)[20]);

// The X509 of a certificate, or null when it is empty. Not owned.
X509* x509Of(const Certificate& certificate);

} // namespace platform
