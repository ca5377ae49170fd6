// The signature cache: a map from the two encodings to the outcome, cleared
// when its keys pass the bound.
#include "platform/posix/trust/SignatureCache.h"

#include "platform/posix/trust/CertificateImpl.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

struct Cache {
  std::mutex mutex;
  std::unordered_map<std::string, bool> outcomes;
  std::size_t bytes = 0;
};

Cache& cache() {
  static Cache* instance = new Cache; // used until the very end of the process
  return *instance;
}

// Appends the certificate's encoding as it was sent (OpenSSL's encoding of
// it where none was remembered), preceded by its length; false when it has
// none.
bool appendEncoding(X509* certificate, std::string& key) {
  std::span<const std::uint8_t> der = rememberedEncoding(certificate);
  OpenSslBytes_ptr encoded;
  if (der.empty()) {
    unsigned char* bytes = nullptr;
    const int length = i2d_X509(certificate, &bytes);
    encoded.reset(bytes);
    if (length <= 0)
      return false;
    der = {bytes, static_cast<std::size_t>(length)};
  }
  const std::uint64_t size = der.size();
  key.append(reinterpret_cast<const char*>(&size), sizeof size);
  key.append(reinterpret_cast<const char*>(der.data()), der.size());
  return true;
}

bool verify(X509* subject, X509* issuer) {
  EVP_PKEY* key = X509_get0_pubkey(issuer);
  return key && X509_verify(subject, key) > 0;
}

} // namespace

bool certificateSignatureVerifies(X509* subject, X509* issuer) {
  std::string key;
  if (!subject || !issuer || !appendEncoding(subject, key) || !appendEncoding(issuer, key))
    return subject && issuer && verify(subject, issuer);
  Cache& shared = cache();
  {
    std::lock_guard lock(shared.mutex);
    auto found = shared.outcomes.find(key);
    if (found != shared.outcomes.end())
      return found->second;
  }
  const bool verified = verify(subject, issuer);
  if (key.size() > kSignatureCacheBytes)
    return verified;
  std::lock_guard lock(shared.mutex);
  if (shared.bytes + key.size() > kSignatureCacheBytes) {
    shared.outcomes.clear();
    shared.bytes = 0;
  }
  const std::size_t size = key.size();
  if (shared.outcomes.emplace(std::move(key), verified).second)
    shared.bytes += size;
  return verified;
}

SignatureCacheSize signatureCacheSize() {
  Cache& shared = cache();
  std::lock_guard lock(shared.mutex);
  return {shared.outcomes.size(), shared.bytes};
}

} // namespace platform
