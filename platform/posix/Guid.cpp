// GUID creation from the host's random source, and its text form.
#include "platform/Guid.h"

#include <cstdio>
#include <fstream>

namespace platform {

bool coCreateGuid(Guid& guid) {
  std::uint8_t bytes[16];
  std::ifstream random("/dev/urandom", std::ios::binary);
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes))
    return false;
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
  guid.data1 = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
               (std::uint32_t(bytes[2]) << 8) | bytes[3];
  guid.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  guid.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i)
    guid.data4[i] = bytes[8 + i];
  return true;
}

bool stringFromGuid2(const Guid& guid, std::u16string& text, std::size_t capacity) {
  constexpr std::size_t kLength = 38;
  if (capacity < kLength + 1)
    return false;
  char buffer[kLength + 1];
  std::snprintf(buffer, sizeof buffer,
                "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                unsigned(guid.data1), unsigned(guid.data2), unsigned(guid.data3),
                guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3],
                guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
  text.assign(buffer, buffer + kLength);
  return true;
}

} // namespace platform
