// The Authenticode check of a PE image held in memory: what the platform's
// trust provider does once it has the file's bytes. Reads only the bytes
// given, whatever they hold.
#pragma once

#include "platform/WinTrust.h"

#include <cstdint>
#include <functional>
#include <span>

namespace platform {

class TrustStores;

// The check of image with the given stores, as of the time now when the
// signature carries no time-stamp.
TrustCheck verifyImageTrust(std::span<const std::uint8_t> image, const TrustStores& stores,
                            FileTime now);

// Hands the image's bytes [offset, offset + length) to consume in one or
// more pieces, in order; false when they cannot all be read or consume
// refuses one.
using ImageRangeReader = std::function<bool(
    std::uint64_t offset, std::uint64_t length,
    const std::function<bool(std::span<const std::uint8_t>)>& consume)>;

// The same check, with the bytes that the image digest covers read through
// readRange rather than from image (which must hold the same bytes): a file
// is hashed through a small buffer while its headers and signature are read
// in place. A range that cannot be read gives CRYPT_E_FILE_ERROR.
TrustCheck verifyImageTrust(std::span<const std::uint8_t> image,
                            const ImageRangeReader& readRange, const TrustStores& stores,
                            FileTime now);

} // namespace platform
