// Decoded certificates kept for the life of the process, by their encoding.
// Decoding a certificate (its public key above all) costs far more than
// checking a signature with it, and the files of one vendor carry the same
// few certificates again and again; the platform's certificate engine keeps
// what it has decoded, and so does this one.
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// The certificate encoded by der (a new reference), decoded at its first
// use; null when der is no certificate. Thread-safe.
X509_ptr cachedCertificate(std::span<const std::uint8_t> der);

// The certificates kept now and the bytes of their encodings (for tests).
struct CertificateCacheSize {
  std::size_t entries = 0;
  std::size_t bytes = 0;
};
CertificateCacheSize certificateCacheSize();

// The bounds of the cache, whatever the number of files: past either it
// starts afresh. A decoded certificate takes a few times its encoding, so
// the cache stays within a few MB.
constexpr std::size_t kCertificateCacheEntries = 4096;
constexpr std::size_t kCertificateCacheBytes = 1024 * 1024;

} // namespace platform
