// The Authenticode check of a PE image held in memory: what the platform's
// trust provider does once it has the file's bytes. Reads only the bytes
// given, whatever they hold.
#pragma once

#include "platform/WinTrust.h"

#include <cstdint>
#include <span>

namespace platform {

class TrustStores;

// The check of image with the given stores, as of the time now when the
// signature carries no time-stamp.
TrustCheck verifyImageTrust(std::span<const std::uint8_t> image, const TrustStores& stores,
                            FileTime now);

} // namespace platform
