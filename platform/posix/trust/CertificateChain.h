// Chain building and the chain policy of the Authenticode check: the chain
// from a signer to a trust anchor of the Root store, judged at one time for
// one usage, and the status the platform gives for it.
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"
#include "platform/posix/trust/TrustStoresImpl.h"

#include <cstdint>
#include <ctime>

namespace platform {

enum class ChainUsage {
  CodeSigning,  // the file's signer
  TimeStamping, // a time-stamping authority
};

struct ChainResult {
  std::uint32_t status = 0; // kTrustSuccess or a certificate status
  X509_STACK_ptr chain;     // as far as it was built, leaf first; may be null
};

// Builds and judges the chain of leaf. untrusted holds certificates that may
// serve as intermediates (those of the signature). Every certificate of the
// Root store is an anchor, self-signed or not. Every certificate of the chain
// must be valid at the time at; every certificate that names extended key
// usages must name the usage's (a CA certificate may name any usage); a
// certificate of the chain in Disallowed distrusts it; a certificate listed
// by a CRL that its issuer signed is revoked, whatever the revocation date.
ChainResult buildChain(X509* leaf, STACK_OF(X509) * untrusted, const TrustStores& stores,
                       std::time_t at, ChainUsage usage);

} // namespace platform
