// Decoded certificates kept for the life of the process, by their encoding.
// Decoding a certificate (its public key above all) costs far more than
// checking a signature with it, and the files of one vendor carry the same
// few certificates again and again; the platform's certificate engine keeps
// what it has decoded, and so does this one.
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"

#include <cstdint>
#include <span>

namespace platform {

// The certificate encoded by der (a new reference), decoded at its first
// use; null when der is no certificate. Thread-safe.
X509_ptr cachedCertificate(std::span<const std::uint8_t> der);

} // namespace platform
