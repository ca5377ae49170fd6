// MD5, SHA-1 and SHA-2 on OpenSSL's EVP interface (all in the default
// provider).
#include "platform/Digest.h"

#include "platform/posix/trust/OpenSslPtr.h"

namespace platform {

struct DigestContext {
  EVP_MD_CTX_ptr context;
};

void DigestContextDeleter::operator()(DigestContext* context) const { delete context; }

namespace {

const EVP_MD* evpOf(DigestAlgorithm algorithm) {
  switch (algorithm) {
  case DigestAlgorithm::Md5: return EVP_md5();
  case DigestAlgorithm::Sha1: return EVP_sha1();
  case DigestAlgorithm::Sha256: return EVP_sha256();
  case DigestAlgorithm::Sha384: return EVP_sha384();
  case DigestAlgorithm::Sha512: return EVP_sha512();
  }
  return nullptr;
}

} // namespace

Digest::Digest(DigestAlgorithm algorithm) : kind(algorithm) {
  const EVP_MD* type = evpOf(algorithm);
  std::unique_ptr<DigestContext, DigestContextDeleter> created(new DigestContext);
  created->context.reset(EVP_MD_CTX_new());
  if (!type || !created->context || EVP_DigestInit_ex(created->context.get(), type, nullptr) != 1)
    return;
  context = std::move(created);
}

bool Digest::update(std::span<const std::uint8_t> bytes) {
  if (!context)
    return false;
  if (bytes.empty())
    return true;
  return EVP_DigestUpdate(context->context.get(), bytes.data(), bytes.size()) == 1;
}

bool Digest::update(std::string_view bytes) {
  return update(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::optional<std::vector<std::uint8_t>> Digest::value() const {
  if (!context)
    return std::nullopt;
  // Finish a copy so that the running state stays open for more bytes.
  EVP_MD_CTX_ptr copy(EVP_MD_CTX_new());
  if (!copy || EVP_MD_CTX_copy_ex(copy.get(), context->context.get()) != 1)
    return std::nullopt;
  std::vector<std::uint8_t> result(EVP_MAX_MD_SIZE);
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(copy.get(), result.data(), &size) != 1)
    return std::nullopt;
  result.resize(size);
  return result;
}

} // namespace platform
