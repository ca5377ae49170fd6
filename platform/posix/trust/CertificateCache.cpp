// The certificate cache: a map from encoding to decoded certificate, cleared
// when it grows past its bounds.
#include "platform/posix/trust/CertificateCache.h"

#include "platform/posix/trust/CertificateImpl.h"

#include <mutex>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

struct Cache {
  std::mutex mutex;
  std::unordered_map<std::string, X509_ptr> certificates;
  std::size_t bytes = 0; // of the encodings kept
};

Cache& cache() {
  // Kept to the very end of the process, never destroyed: OpenSSL's own
  // clean-up at exit may come first, after which freeing the certificates
  // would no longer free their extra data.
  static Cache* instance = new Cache;
  return *instance;
}

X509_ptr newReference(X509* certificate) {
  return certificate && X509_up_ref(certificate) == 1 ? X509_ptr(certificate) : X509_ptr();
}

} // namespace

X509_ptr cachedCertificate(std::span<const std::uint8_t> der) {
  std::string key(reinterpret_cast<const char*>(der.data()), der.size());
  Cache& shared = cache();
  {
    std::lock_guard lock(shared.mutex);
    auto found = shared.certificates.find(key);
    if (found != shared.certificates.end())
      return newReference(found->second.get());
  }
  const unsigned char* cursor = der.data();
  X509_ptr decoded(d2i_X509(nullptr, &cursor, static_cast<long>(der.size())));
  if (!decoded || cursor != der.data() + der.size())
    return {};
  rememberEncoding(decoded.get(), der);
  // Fill the certificate's cached facts (extensions, hash) before it is
  // shared, so that threads only ever read it.
  X509_check_purpose(decoded.get(), -1, 0);
  if (key.size() > kCertificateCacheBytes)
    return decoded;
  std::lock_guard lock(shared.mutex);
  if (shared.certificates.size() >= kCertificateCacheEntries ||
      shared.bytes + key.size() > kCertificateCacheBytes) {
    shared.certificates.clear();
    shared.bytes = 0;
  }
  const std::size_t size = key.size();
  auto [entry, inserted] = shared.certificates.emplace(std::move(key), std::move(decoded));
  if (inserted)
    shared.bytes += size;
  return newReference(entry->second.get());
}

CertificateCacheSize certificateCacheSize() {
  Cache& shared = cache();
  std::lock_guard lock(shared.mutex);
  return {shared.certificates.size(), shared.bytes};
}

} // namespace platform
