// GUIDs: the stand-ins for CoCreateGuid and StringFromGUID2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
};

// A new random (version 4) GUID. False when no randomness is available.
bool coCreateGuid(Guid& guid);

// The braced registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in
// upper-case hex. Fails, leaving text unchanged, when a buffer of capacity
// units could not hold the 38 characters and their terminator.
bool stringFromGuid2(const Guid& guid, std::u16string& text, std::size_t capacity);

} // namespace platform
