// The inside of platform::Certificate on Windows: one certificate context
// (PCCERT_CONTEXT), owned. Included only by the platform's Windows sources,
// which wrap the contexts they obtain (from messages, from the trust
// provider's chain) with wrapCertificateContext.
#pragma once

#include "platform/Certificate.h"
#include "platform/windows/CryptoHandles.h"

namespace platform {

class CertificateImpl {
public:
  explicit CertificateImpl(CertContextPtr owned) : context(std::move(owned)) {}

  CertContextPtr context; // never null
};

// Shares a context that other code owns too (takes its own reference with
// CertDuplicateCertificateContext). Empty for null.
Certificate wrapCertificateContext(PCCERT_CONTEXT context);

// The context of a certificate, or null when it is empty. Not owned.
PCCERT_CONTEXT contextOf(const Certificate& certificate);

} // namespace platform
