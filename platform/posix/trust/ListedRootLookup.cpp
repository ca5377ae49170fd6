// The lazy lookup of the listed roots on OpenSSL's X509_LOOKUP_METHOD.
#include "platform/posix/trust/ListedRootLookup.h"

#include "platform/posix/trust/Der.h"
#include "platform/posix/trust/RootProgramList.h"

namespace platform {
namespace {

// The subject Name element of a DER certificate:
//   Certificate ::= SEQUENCE { tbsCertificate SEQUENCE { version [0] OPTIONAL,
//     serialNumber, signature, issuer, validity, subject, ... }, ... }
std::span<const std::uint8_t> subjectOf(std::span<const std::uint8_t> der) {
  DerElement certificate, toBeSigned, field;
  std::span<const std::uint8_t> rest = der;
  if (!readDerElement(rest, certificate) || !certificate.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
    return {};
  rest = certificate.contents;
  if (!readDerElement(rest, toBeSigned) || !toBeSigned.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE))
    return {};
  rest = toBeSigned.contents;
  if (!readDerElement(rest, field))
    return {};
  if (field.is(V_ASN1_CONTEXT_SPECIFIC, 0) && !readDerElement(rest, field)) // version
    return {};
  for (int skipped = 0; skipped < 3; ++skipped) { // serial number (read), signature, issuer, validity
    if (!readDerElement(rest, field))
      return {};
  }
  return readDerElement(rest, field) && field.is(V_ASN1_UNIVERSAL, V_ASN1_SEQUENCE)
             ? field.encoding
             : std::span<const std::uint8_t>();
}

unsigned long hashOf(const X509_NAME* name) {
  int ok = 0;
  unsigned long hash = X509_NAME_hash_ex(name, nullptr, nullptr, &ok);
  return ok ? hash : 0;
}

X509_LOOKUP_METHOD* lookupMethod(X509_LOOKUP_get_by_subject_fn bySubject) {
  static X509_LOOKUP_METHOD* method = [bySubject] {
    X509_LOOKUP_METHOD* made = X509_LOOKUP_meth_new("listed roots");
    if (made)
      X509_LOOKUP_meth_set_get_by_subject(made, bySubject);
    return made;
  }();
  return method;
}

} // namespace

ListedRootLookup::ListedRootLookup(std::vector<std::vector<std::uint8_t>> encodings) {
  for (std::vector<std::uint8_t>& der : encodings) {
    std::span<const std::uint8_t> subject = subjectOf(der);
    const unsigned char* cursor = subject.data();
    X509_NAME_ptr name(subject.empty() ? nullptr
                                       : d2i_X509_NAME(nullptr, &cursor, long(subject.size())));
    if (!name)
      continue;
    bySubjectHash.emplace(hashOf(name.get()), roots.size());
    roots.push_back(Root{std::move(der), std::move(name), nullptr});
  }
}

bool ListedRootLookup::attach(X509_STORE* store) {
  X509_LOOKUP_METHOD* method = lookupMethod(&ListedRootLookup::bySubject);
  X509_LOOKUP* lookup = method ? X509_STORE_add_lookup(store, method) : nullptr;
  return lookup && X509_LOOKUP_set_method_data(lookup, this) == 1;
}

int ListedRootLookup::bySubject(X509_LOOKUP* lookup, X509_LOOKUP_TYPE type, const X509_NAME* name,
                                X509_OBJECT* result) {
  auto* self = static_cast<ListedRootLookup*>(X509_LOOKUP_get_method_data(lookup));
  X509_STORE* store = X509_LOOKUP_get_store(lookup);
  if (!self || !store || type != X509_LU_X509 || !name)
    return 0;
  std::lock_guard lock(self->mutex);
  X509* first = nullptr;
  auto [begin, end] = self->bySubjectHash.equal_range(hashOf(name));
  for (auto it = begin; it != end; ++it) {
    Root& root = self->roots[it->second];
    if (X509_NAME_cmp(root.subject.get(), name) != 0)
      continue;
    if (!root.decoded) {
      root.decoded = decodeCertificate(root.der);
      if (!root.decoded)
        continue;
      // Its cached facts are filled before other threads can see it.
      X509_check_purpose(root.decoded.get(), -1, 0);
      X509_STORE_add_cert(store, root.decoded.get()); // takes its own reference
    }
    if (!first)
      first = root.decoded.get();
  }
  if (!first || X509_OBJECT_set1_X509(result, first) != 1)
    return 0;
  // The result borrows the store's reference, as OpenSSL's own lookups
  // hand theirs over: the caller takes a reference of its own.
  X509_free(first);
  return 1;
}

} // namespace platform
