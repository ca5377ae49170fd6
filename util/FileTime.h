// FILETIME: 100-nanosecond ticks since 1601-01-01 UTC, kept as the two
// 32-bit halves the configuration and the trust check deal in.
#pragma once

#include <cstdint>

struct FileTime {
  std::uint32_t low = 0;  // dwLowDateTime
  std::uint32_t high = 0; // dwHighDateTime

  // A time counts as set only when both halves are non-zero.
  bool isSet() const { return low != 0 && high != 0; }
  std::uint64_t ticks() const { return (std::uint64_t(high) << 32) | low; }
  static FileTime fromTicks(std::uint64_t ticks) {
    return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
  }
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

// Ticks between 1601-01-01 and the Unix epoch, 1970-01-01.
inline constexpr std::uint64_t kFileTimeUnixEpoch = 116444736000000000ULL;
