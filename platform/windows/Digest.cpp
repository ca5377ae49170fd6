// MD5, SHA-1 and SHA-2 on CryptoAPI hash objects (CryptCreateHash in a
// verification-only provider: PROV_RSA_FULL for MD5 and SHA-1, PROV_RSA_AES
// for the SHA-2 algorithms, which only that provider type offers).
#include "platform/Digest.h"

#include "platform/windows/CryptoHandles.h"

namespace platform {

struct DigestContext {
  CryptProvider provider; // declared first: released after the hash
  CryptHash hash;
};

void DigestContextDeleter::operator()(DigestContext* context) const { delete context; }

Digest::Digest(DigestAlgorithm algorithm) : kind(algorithm) {
  std::unique_ptr<DigestContext, DigestContextDeleter> created(new DigestContext);
  ALG_ID id = CALG_SHA1;
  DWORD providerType = PROV_RSA_AES;
  switch (algorithm) {
  case DigestAlgorithm::Md5: id = CALG_MD5; providerType = PROV_RSA_FULL; break;
  case DigestAlgorithm::Sha1: id = CALG_SHA1; providerType = PROV_RSA_FULL; break;
  case DigestAlgorithm::Sha256: id = CALG_SHA_256; break;
  case DigestAlgorithm::Sha384: id = CALG_SHA_384; break;
  case DigestAlgorithm::Sha512: id = CALG_SHA_512; break;
  }
  created->provider = acquireVerifyProvider(providerType);
  if (!created->provider)
    return;
  HCRYPTHASH hash = 0;
  if (!CryptCreateHash(created->provider.get(), id, 0, 0, &hash))
    return;
  created->hash = CryptHash(hash);
  context = std::move(created);
}

bool Digest::update(std::span<const std::uint8_t> bytes) {
  if (!context)
    return false;
  // CryptHashData takes a 32-bit length: larger inputs go in pieces.
  constexpr std::size_t kMaxPiece = 0x40000000;
  while (!bytes.empty()) {
    const std::size_t piece = bytes.size() < kMaxPiece ? bytes.size() : kMaxPiece;
    if (!CryptHashData(context->hash.get(), bytes.data(), DWORD(piece), 0))
      return false;
    bytes = bytes.subspan(piece);
  }
  return true;
}

bool Digest::update(std::string_view bytes) {
  return update(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::optional<std::vector<std::uint8_t>> Digest::value() const {
  if (!context)
    return std::nullopt;
  // Reading HP_HASHVAL finishes a hash object for good: read it from a
  // duplicate so that the running one stays open for more bytes.
  HCRYPTHASH duplicate = 0;
  if (!CryptDuplicateHash(context->hash.get(), nullptr, 0, &duplicate))
    return std::nullopt;
  CryptHash copy(duplicate);
  DWORD size = 0;
  if (!CryptGetHashParam(copy.get(), HP_HASHVAL, nullptr, &size, 0) || size == 0)
    return std::nullopt;
  std::vector<std::uint8_t> result(size);
  if (!CryptGetHashParam(copy.get(), HP_HASHVAL, result.data(), &size, 0))
    return std::nullopt;
  result.resize(size);
  return result;
}

} // namespace platform
