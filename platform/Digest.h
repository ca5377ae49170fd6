// Message digests of the platform: the stand-in for a CryptoAPI hash object
// (CryptCreateHash with CALG_MD5 or CALG_SHA1, CryptHashData and
// CryptGetHashParam with HP_HASHVAL).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace platform {

enum class DigestAlgorithm { Md5, Sha1 };

inline constexpr std::size_t kMd5DigestSize = 16;
inline constexpr std::size_t kSha1DigestSize = 20;

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

  // The 16-byte MD5 or 20-byte SHA-1 value, or nothing on failure.
  std::optional<std::vector<std::uint8_t>> value() const;

private:
  DigestAlgorithm kind;
  std::unique_ptr<DigestContext, DigestContextDeleter> context;
};

} // namespace platform
