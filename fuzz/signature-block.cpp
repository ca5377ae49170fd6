// Fuzz target: an archive's signature block, read for its certificates and
// first signature and checked as a detached signer over fixed content.
#include "platform/Pkcs7Block.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> block(data, size);
  platform::parsePkcs7Block(block);
  static const std::uint8_t content[] = {'S', 'i', 'g', 'n', 'a', 't', 'u', 'r', 'e', '\n'};
  platform::verifyDetachedSigner(block, content);
  return 0;
}
