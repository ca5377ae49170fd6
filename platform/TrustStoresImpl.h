// The inside of the trust stores; for platform sources only.
#pragma once

#include "platform/OpenSslPtr.h"
#include "platform/RootProgramList.h"
#include "platform/TrustStores.h"

#include <map>
#include <set>
#include <vector>

namespace platform {

class TrustStores {
public:
  using Thumbprint = CertificateHash;

  X509_STORE_ptr root;             // every certificate is a trust anchor
  // The usages and dates of the roots that came from the root list; a root
  // the user trusts (FENNICK_TRUSTED_CERTS) is not bound by them.
  std::map<Thumbprint, RootProgramEntry> listedRoots;
  std::set<Thumbprint> disallowed; // SHA-1 hashes of distrusted certificates
  std::vector<X509_CRL_ptr> crls;
  bool rootListRead = false;       // a verified root list was read

  bool isDisallowed(X509* certificate) const;
  // The root list's entry of an anchor; null when the list does not bind it.
  const RootProgramEntry* listedEntry(X509* anchor) const;
};

} // namespace platform
