// The paths a chain may take from a certificate up to a trust anchor: each
// certificate's issuer candidates are every certificate, of those given and
// of the Root store, whose subject is the certificate's issuer name and whose
// key matches the certificate's authority key identifier where it names one.
// The search goes depth first, Root's candidates before the others, refuses
// a certificate already on the path (so cross-certificates that certify
// each other end), and stops at bounds of length and count. Platform code
// only.
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"

#include <cstddef>
#include <vector>

namespace platform {

struct IssuerPath {
  std::vector<X509*> certificates; // the leaf first; lent by the search that found it
  bool anchored = false;           // the last certificate is one of Root's
};

class IssuerPathSearch {
public:
  static constexpr std::size_t kMaximumLength = 8; // certificates on a path
  static constexpr std::size_t kMaximumPaths = 32; // paths found per search

  // Searches over the certificates of intermediates and of root; both must
  // outlive the search.
  IssuerPathSearch(STACK_OF(X509) * intermediates, X509_STORE* root);
  IssuerPathSearch(const IssuerPathSearch&) = delete;
  IssuerPathSearch& operator=(const IssuerPathSearch&) = delete;

  // The paths from leaf, in the order found: those that reach an anchor and
  // those that end where no further issuer is found or the length bound is
  // met, at most kMaximumPaths of them. Their certificates live as long as
  // the search.
  std::vector<IssuerPath> pathsFrom(X509* leaf);

private:
  void extend(std::vector<X509*>& path, std::vector<IssuerPath>& paths);
  // The certificates of Root with the subject (decoded on demand by the
  // store's lookups), kept alive by the search.
  std::vector<X509*> rootCertificates(const X509_NAME* subject);
  bool isAnchor(X509* certificate);
  std::vector<X509*> issuersOf(X509* certificate, const std::vector<X509*>& path);

  STACK_OF(X509) * intermediates;
  X509_STORE_CTX_ptr rootContext; // for lookups in Root; null without Root
  std::vector<X509_ptr> held;     // references to Root's certificates handed out
};

} // namespace platform
