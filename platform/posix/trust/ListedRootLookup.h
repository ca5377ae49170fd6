// A certificate lookup for an OpenSSL store over certificates kept encoded:
// a certificate is decoded, and added to the store, only when a chain asks
// for its subject, as the platform fetches a listed root when a chain needs
// it. Decoding every root of the list (its public key above all) would
// cost a process more than most of its checks. Platform code only.
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace platform {

class ListedRootLookup {
public:
  // Certificates that are no certificate are left out.
  explicit ListedRootLookup(std::vector<std::vector<std::uint8_t>> encodings);
  ListedRootLookup(const ListedRootLookup&) = delete;
  ListedRootLookup& operator=(const ListedRootLookup&) = delete;

  // Makes the lookup one of store's; the lookup must outlive the store.
  bool attach(X509_STORE* store);

  // The certificates it holds, decoded or not.
  std::size_t size() const { return roots.size(); }

private:
  struct Root {
    std::vector<std::uint8_t> der;
    X509_NAME_ptr subject;
    X509_ptr decoded; // once a chain asked for it
  };

  // X509_LOOKUP get_by_subject: every held certificate of the subject is
  // decoded and added to the store; the first is returned, borrowed from
  // the store (the caller takes its own reference).
  static int bySubject(X509_LOOKUP* lookup, X509_LOOKUP_TYPE type, const X509_NAME* name,
                       X509_OBJECT* result);

  std::mutex mutex; // chains are built on several threads
  std::vector<Root> roots;
  std::multimap<unsigned long, std::size_t> bySubjectHash; // into roots
};

} // namespace platform
