// Base64 decoding that never rejects input.
#include "util/Base64.h"

namespace {

int alphabetValue(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

} // namespace

bool base64Decode(std::size_t byteCount, const char* text, std::uint8_t* output,
                  std::size_t& capacity) {
  if (!text || capacity == 0)
    return false;
  bool overflow = output == nullptr;
  std::size_t written = 0;
  std::size_t position = 0;
  while (position < byteCount && text[position] != '\0') {
    std::uint32_t value = 0;
    int bits = 0;
    int digits = 0;
    while (position < byteCount) {
      int digit = alphabetValue(static_cast<unsigned char>(text[position]));
      if (digit >= 0) {
        value = value * 64 + std::uint32_t(digit);
        bits += 6;
        ++digits;
      }
      ++position;
      if (digits == 4)
        break;
    }
    std::size_t count = std::size_t(bits / 8);
    if (!overflow && written + count > capacity)
      overflow = true;
    value <<= (24 - bits);
    for (std::size_t i = 0; i < count; ++i) {
      if (!overflow)
        output[written + i] = std::uint8_t(value >> (16 - 8 * i));
    }
    written += count;
  }
  capacity = written;
  return !overflow;
}
