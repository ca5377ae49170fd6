// The inside of the trust stores; for platform sources only.
#pragma once

#include "platform/posix/trust/ListedRootLookup.h"
#include "platform/posix/trust/OpenSslPtr.h"
#include "platform/posix/trust/RootProgramList.h"
#include "platform/TrustStores.h"

#include <map>
#include <memory>
#include <set>
#include <vector>

namespace platform {

class TrustStores {
public:
  using Thumbprint = CertificateHash;

  // The root list's certificates, decoded when a chain asks for one;
  // declared before root, which uses it, so that it is destroyed after it.
  std::unique_ptr<ListedRootLookup> listedCertificates;
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
