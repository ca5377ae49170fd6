// Message digests of the platform: the stand-in for a CryptoAPI hash object
// (CryptCreateHash with CALG_MD5, CALG_SHA1, CALG_SHA_256, CALG_SHA_384 or
// CALG_SHA_512, CryptHashData and CryptGetHashParam with HP_HASHVAL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace platform {

enum class DigestAlgorithm { Md5, Sha1, Sha256, Sha384, Sha512 };

inline constexpr std::size_t kMd5DigestSize = 16;
inline constexpr std::size_t kSha1DigestSize = 20;

// The size of the algorithm's value in bytes.
constexpr std::size_t digestSize(DigestAlgorithm algorithm) {
  switch (algorithm) {
  case DigestAlgorithm::Md5: return kMd5DigestSize;
  case DigestAlgorithm::Sha1: return kSha1DigestSize;
  case DigestAlgorithm::Sha256: return 32;
  case DigestAlgorithm::Sha384: return 48;
  case DigestAlgorithm::Sha512: return 64;
  }
  return 0;
}

struct DigestContext;
struct DigestContextDeleter {
  void operator()(DigestContext* context) const;
};

// A running digest. Bytes are added in any number of pieces; value() gives
// the digest of everything added so far and leaves the object usable.
class Digest {
public:
  // Invalid when the platform cannot provide the algorithm.
  explicit Digest(DigestAlgorithm algorithm);

  bool valid() const { return context != nullptr; }
  DigestAlgorithm algorithm() const { return kind; }

  // Adds bytes; false on an invalid object or a failed update.
  bool update(std::span<const std::uint8_t> bytes);
  // The same for bytes held in a narrow string.
  bool update(std::string_view bytes);

  // The value (digestSize of the algorithm bytes), or nothing on failure.
  std::optional<std::vector<std::uint8_t>> value() const;

private:
  DigestAlgorithm kind;
  std::unique_ptr<DigestContext, DigestContextDeleter> context;
};

} // namespace platform
