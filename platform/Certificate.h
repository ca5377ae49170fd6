// A certificate as the platform hands it to the core: the stand-in for a
// certificate context (PCCERT_CONTEXT). It is opaque and cheap to copy;
// copies share one decoded certificate. With it come the two certificate
// services the validators use: the simple display name (CertGetNameStringW
// with CERT_NAME_SIMPLE_DISPLAY_TYPE) and the SHA-1 certificate hash
// (CertGetCertificateContextProperty with CERT_SHA1_HASH_PROP_ID).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform {

class CertificateImpl; // the decoded certificate; platform/posix/trust/CertificateImpl.h

class Certificate {
public:
  // An empty certificate (a null context): every service answers nothing.
  Certificate() = default;
  // Decodes one DER certificate; empty when the bytes are no certificate.
  // Bytes after the certificate are ignored.
  explicit Certificate(std::span<const std::uint8_t> der);
  // Wraps a decoded certificate; used by the platform's own code.
  explicit Certificate(std::shared_ptr<const CertificateImpl> impl);

  bool empty() const { return !impl; }
  explicit operator bool() const { return impl != nullptr; }

  // The encoded certificate as it was read (pbCertEncoded); empty when empty.
  std::span<const std::uint8_t> encoded() const;

  // For the platform's own code: the decoded certificate, or null.
  const CertificateImpl* get() const { return impl.get(); }

private:
  std::shared_ptr<const CertificateImpl> impl;
};

// CertGetNameStringW with CERT_NAME_SIMPLE_DISPLAY_TYPE, no flags: the first
// of these that is present: the subject's common name, organizational unit,
// organization or e-mail address attribute (in that priority; of one
// attribute type the first occurrence in encoded order); the first rfc822
// name of the subject alternative name extension; the first attribute of the
// subject in encoded order. An attribute whose value converts to no text
// counts as absent. Empty when there is none or the certificate is empty.
std::u16string certSimpleDisplayName(const Certificate& certificate);

// The 20-byte SHA-1 hash of the encoded certificate; empty for an empty
// certificate.
std::vector<std::uint8_t> certSha1Hash(const Certificate& certificate);

} // namespace platform
