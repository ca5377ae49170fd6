// The dictionary library's exception: a four-character code telling why a
// conversion or a copy could not be completed.
#pragma once

#include <cstdint>

namespace dravik_private {

class ZKErrException {
public:
  // "BUFF": a destination buffer is too small.
  static constexpr std::uint32_t kBufferTooSmall = 0x42554646;
  // "huh?": a code-page conversion failed for another reason.
  static constexpr std::uint32_t kConversionFailed = 0x6875683F;

  explicit ZKErrException(std::uint32_t code) : code_(code) {}

  std::uint32_t code() const { return code_; }

private:
  std::uint32_t code_;
};

} // namespace dravik_private
