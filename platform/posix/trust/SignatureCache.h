// The outcome of checking a certificate's signature with its issuer's key,
// kept for the life of the process by the exact encodings of both
// certificates, as the platform's chain engine keeps the certificates it has
// verified: the files of one vendor carry the same few chains again and
// again, and each check of a signature costs a public-key operation. Only
// the signature is remembered; everything that depends on the file (the
// time a chain is judged at, usages, the root list's dates) is judged anew.
// Platform code only.
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"

#include <cstddef>

namespace platform {

// True when issuer's public key verifies subject's signature (X509_verify),
// remembered by the encodings of subject and issuer. Thread-safe.
bool certificateSignatureVerifies(X509* subject, X509* issuer);

// The outcomes remembered now, and the bytes their keys take (for tests).
struct SignatureCacheSize {
  std::size_t entries = 0;
  std::size_t bytes = 0;
};
SignatureCacheSize signatureCacheSize();

// The bound on the bytes of the keys: past it the cache starts afresh.
constexpr std::size_t kSignatureCacheBytes = 2 * 1024 * 1024;

} // namespace platform
