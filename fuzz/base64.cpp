// Fuzz target: lenient Base64 decoding with every output capacity up to the
// input length.
#include "util/Base64.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::vector<std::uint8_t> output(size + 1);
  std::size_t capacity = size + 1;
  base64Decode(size, text, output.data(), capacity);
  std::size_t small = size / 3;
  if (small) {
    std::vector<std::uint8_t> tight(small);
    base64Decode(size, text, tight.data(), small);
  }
  return 0;
}
