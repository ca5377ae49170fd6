// The inside of platform::Certificate: a decoded OpenSSL certificate with
// the encoding it was read from. Included only by platform/ sources, which
// wrap the certificates they extract (from signature blocks, stores) with
// wrapCertificate and reach the X509 of a Certificate with x509Of.
#pragma once

#include "platform/Certificate.h"
#include "platform/OpenSslPtr.h"

#include <cstdint>
#include <vector>

namespace platform {

class CertificateImpl {
public:
  CertificateImpl(X509_ptr certificate, std::vector<std::uint8_t> encoding)
      : x509(std::move(certificate)), der(std::move(encoding)) {}

  X509_ptr x509;                 // never null
  std::vector<std::uint8_t> der; // the encoding the certificate came from
};

// Takes ownership of a decoded certificate. Its encoding is the one OpenSSL
// keeps for it (re-encoded where it kept none). Empty for null.
Certificate wrapCertificate(X509_ptr certificate);

// Shares a certificate that other code owns too (takes a new reference).
Certificate wrapCertificateRef(X509* certificate);

// The X509 of a certificate, or null when it is empty. Not owned.
X509* x509Of(const Certificate& certificate);

} // namespace platform
