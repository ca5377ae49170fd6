// The inside of the trust stores; for platform sources only.
#pragma once

#include "platform/OpenSslPtr.h"
#include "platform/TrustStores.h"

#include <array>
#include <cstdint>
#include <set>
#include <vector>

namespace platform {

class TrustStores {
public:
  using Thumbprint = std::array<std::uint8_t, 20>;

  X509_STORE_ptr root;                // every certificate is a trust anchor
  std::set<Thumbprint> disallowed;    // SHA-1 hashes of distrusted certificates
  std::vector<X509_CRL_ptr> crls;

  bool isDisallowed(X509* certificate) const;
};

} // namespace platform
