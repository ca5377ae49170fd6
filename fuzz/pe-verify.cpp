// libFuzzer target: the Authenticode check of an arbitrary byte string as a
// PE image, through the PE headers, the certificate table, the PKCS#7
// block, its signer and time-stamps, and the chain policy. The fixtures'
// trusted certificates (FENNICK_FUZZ_TRUST, by default those of
// build/fixtures/authenticode, when they are there) let chains verify, so
// that the policy code is reached too. Seeds: the PE fixtures.
#include "platform/AuthenticodeCheck.h"
#include "platform/TrustStores.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

namespace {

const platform::TrustStores& fuzzStores() {
  static const std::shared_ptr<const platform::TrustStores> stores = [] {
    platform::TrustStoreLocations locations;
    const char* trusted = std::getenv("FENNICK_FUZZ_TRUST");
    locations.trusted = trusted ? trusted : "build/fixtures/authenticode/trust/trusted";
    locations.rootList = false;
    return platform::loadTrustStores(locations);
  }();
  return *stores;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input's length, so that any read beyond is caught.
  std::vector<std::uint8_t> image(data, data + size);
  // A fixed "now" (2026-01-01) keeps runs reproducible.
  const FileTime now = FileTime::fromTicks(134116992000000000ULL);
  platform::TrustCheck check = platform::verifyImageTrust(image, fuzzStores(), now);
  if (check.hasSigner && check.chain.empty())
    std::abort(); // a reported signer always comes with its certificate
  return 0;
}
