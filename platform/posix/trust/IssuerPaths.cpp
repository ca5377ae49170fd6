// The issuer-path search over the certificates given and the Root store.
#include "platform/posix/trust/IssuerPaths.h"

#include <algorithm>

namespace platform {
namespace {

// True when candidate may have issued certificate: its subject is the
// certificate's issuer name, and its key is the one the certificate's
// authority key identifier names, when it names one.
bool mayHaveIssued(X509* candidate, X509* certificate) {
  if (X509_NAME_cmp(X509_get_subject_name(candidate), X509_get_issuer_name(certificate)) != 0)
    return false;
  AUTHORITY_KEYID_ptr keyId(static_cast<AUTHORITY_KEYID*>(
      X509_get_ext_d2i(certificate, NID_authority_key_identifier, nullptr, nullptr)));
  return X509_check_akid(candidate, keyId.get()) == X509_V_OK;
}

bool contains(const std::vector<X509*>& certificates, X509* certificate) {
  return std::any_of(certificates.begin(), certificates.end(),
                     [certificate](X509* other) { return X509_cmp(other, certificate) == 0; });
}

} // namespace

IssuerPathSearch::IssuerPathSearch(STACK_OF(X509) * intermediates, X509_STORE* root)
    : intermediates(intermediates) {
  if (!root)
    return;
  rootContext.reset(X509_STORE_CTX_new());
  if (rootContext && X509_STORE_CTX_init(rootContext.get(), root, nullptr, nullptr) != 1)
    rootContext.reset();
}

std::vector<IssuerPath> IssuerPathSearch::pathsFrom(X509* leaf) {
  std::vector<IssuerPath> paths;
  std::vector<X509*> path{leaf};
  extend(path, paths);
  return paths;
}

void IssuerPathSearch::extend(std::vector<X509*>& path, std::vector<IssuerPath>& paths) {
  if (paths.size() >= kMaximumPaths)
    return;
  if (isAnchor(path.back())) {
    paths.push_back(IssuerPath{path, true});
    return;
  }
  std::vector<X509*> issuers;
  if (path.size() < kMaximumLength)
    issuers = issuersOf(path.back(), path);
  if (issuers.empty()) {
    paths.push_back(IssuerPath{path, false}); // goes no further: judged as it is
    return;
  }
  for (X509* issuer : issuers) {
    path.push_back(issuer);
    extend(path, paths);
    path.pop_back();
    if (paths.size() >= kMaximumPaths)
      return;
  }
}

std::vector<X509*> IssuerPathSearch::rootCertificates(const X509_NAME* subject) {
  std::vector<X509*> found;
  if (!rootContext)
    return found;
  X509_STACK_ptr certificates(X509_STORE_CTX_get1_certs(rootContext.get(), subject));
  while (certificates && sk_X509_num(certificates.get()) > 0) {
    X509_ptr certificate(sk_X509_shift(certificates.get()));
    found.push_back(certificate.get());
    held.push_back(std::move(certificate));
  }
  return found;
}

bool IssuerPathSearch::isAnchor(X509* certificate) {
  return contains(rootCertificates(X509_get_subject_name(certificate)), certificate);
}

std::vector<X509*> IssuerPathSearch::issuersOf(X509* certificate, const std::vector<X509*>& path) {
  std::vector<X509*> issuers;
  auto consider = [&](X509* candidate) {
    if (mayHaveIssued(candidate, certificate) && !contains(path, candidate) &&
        !contains(issuers, candidate))
      issuers.push_back(candidate);
  };
  for (X509* candidate : rootCertificates(X509_get_issuer_name(certificate)))
    consider(candidate);
  for (int i = 0; i < sk_X509_num(intermediates); ++i)
    consider(sk_X509_value(intermediates, i));
  return issuers;
}

} // namespace platform
