// Chain building on OpenSSL's verifier, with the platform's stores and the
// error precedence of its Authenticode policy. The verifier builds one chain
// first; only when that chain has a fault are the other paths to an anchor
// (IssuerPaths) judged, each with the whole policy, and the best one kept.
#include "platform/posix/trust/CertificateChain.h"

#include "platform/posix/trust/IssuerPaths.h"
#include "platform/posix/trust/SignatureCache.h"
#include "platform/TrustStatus.h"

#include <openssl/objects.h>

#include <iterator>
#include <set>
#include <string>

namespace platform {
namespace {

// Faults found anywhere in the chain; the policy picks one status from them.
struct ChainFaults {
  bool distrusted = false;
  bool badCertificateSignature = false;
  bool untrustedRoot = false;
  bool partialChain = false;
  bool notTimeValid = false;
  bool revoked = false;
  bool wrongUsage = false;
  bool basicConstraints = false;
  bool criticalExtension = false;
  bool other = false;
};

// True when the certificate the verifier is at is the top of the chain, is
// self-signed and carries no basic-constraints extension at all: the oldest
// roots of the platform's list predate the extension, and the platform
// takes them as CAs.
bool isOldRoot(X509_STORE_CTX* context) {
  X509* certificate = X509_STORE_CTX_get_current_cert(context);
  STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context);
  const int depth = X509_STORE_CTX_get_error_depth(context);
  return certificate && chain && depth == sk_X509_num(chain) - 1 &&
         X509_get_ext_by_NID(certificate, NID_basic_constraints, -1) < 0 &&
         (X509_get_extension_flags(certificate) & EXFLAG_SS) != 0;
}

// Records the verifier's complaint and lets it go on, so that the chain is
// built as far as it goes and every fault is seen.
int recordFault(int ok, X509_STORE_CTX* context) {
  if (ok)
    return 1;
  auto* faults = static_cast<ChainFaults*>(X509_STORE_CTX_get_app_data(context));
  switch (X509_STORE_CTX_get_error(context)) {
  case X509_V_ERR_CERT_SIGNATURE_FAILURE:
  case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
  case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY:
    faults->badCertificateSignature = true;
    break;
  case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
  case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
  case X509_V_ERR_CERT_UNTRUSTED:
  case X509_V_ERR_CERT_REJECTED:
    faults->untrustedRoot = true;
    break;
  case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
  case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
  case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    faults->partialChain = true;
    break;
  case X509_V_ERR_CERT_NOT_YET_VALID:
  case X509_V_ERR_CERT_HAS_EXPIRED:
  case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
  case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
    faults->notTimeValid = true;
    break;
  case X509_V_ERR_INVALID_CA:
    if (isOldRoot(context))
      break; // a root from before basic constraints is a CA by being a root
    faults->basicConstraints = true;
    break;
  case X509_V_ERR_PATH_LENGTH_EXCEEDED:
  case X509_V_ERR_KEYUSAGE_NO_CERTSIGN:
    faults->basicConstraints = true;
    break;
  case X509_V_ERR_UNHANDLED_CRITICAL_EXTENSION:
    faults->criticalExtension = true;
    break;
  case X509_V_ERR_INVALID_PURPOSE:
    faults->wrongUsage = true;
    break;
  default:
    faults->other = true;
    break;
  }
  return 1;
}

// The verifier's step that checks the chain's signatures and validity
// times, as OpenSSL's own step checks them under the flags judgeChain sets
// (every certificate of Root an anchor; the top certificate's own signature
// not checked), with the signatures' outcomes from the process's cache.
// Every fault goes to the verify callback at its depth.
int checkSignaturesAndTimes(X509_STORE_CTX* context) {
  STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(context);
  X509_STORE_CTX_verify_cb callback = X509_STORE_CTX_get_verify_cb(context);
  X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context);
  std::time_t at = X509_VERIFY_PARAM_get_time(parameters);
  std::time_t* checkTime =
      (X509_VERIFY_PARAM_get_flags(parameters) & X509_V_FLAG_USE_CHECK_TIME) != 0 ? &at : nullptr;
  // Reports a fault; false when the callback stops the verification.
  auto fault = [&](X509* certificate, int depth, int error) {
    X509_STORE_CTX_set_error_depth(context, depth);
    X509_STORE_CTX_set_current_cert(context, certificate);
    X509_STORE_CTX_set_error(context, error);
    return callback(0, context) != 0;
  };
  int depth = sk_X509_num(chain) - 1;
  if (depth < 0)
    return 1;
  X509* issuer = sk_X509_value(chain, depth);
  X509* subject = issuer;
  while (depth >= 0) {
    if (subject != issuer) {
      // The issuer's key usage must allow signing certificates (digital
      // signatures for a proxy certificate).
      const bool proxy = (X509_get_extension_flags(subject) & EXFLAG_PROXY) != 0;
      const std::uint32_t needed = proxy ? KU_DIGITAL_SIGNATURE : KU_KEY_CERT_SIGN;
      if ((X509_get_key_usage(issuer) & needed) == 0 &&
          !fault(issuer, depth + 1,
                 proxy ? X509_V_ERR_KEYUSAGE_NO_DIGITAL_SIGNATURE : X509_V_ERR_KEYUSAGE_NO_CERTSIGN))
        return 0;
      if (!X509_get0_pubkey(issuer)) {
        if (!fault(issuer, depth + 1, X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY))
          return 0;
      } else if (!certificateSignatureVerifies(subject, issuer) &&
                 !fault(subject, depth, X509_V_ERR_CERT_SIGNATURE_FAILURE)) {
        return 0;
      }
    }
    const int notBefore = X509_cmp_time(X509_get0_notBefore(subject), checkTime);
    if (notBefore == 0 && !fault(subject, depth, X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD))
      return 0;
    if (notBefore > 0 && !fault(subject, depth, X509_V_ERR_CERT_NOT_YET_VALID))
      return 0;
    const int notAfter = X509_cmp_time(X509_get0_notAfter(subject), checkTime);
    if (notAfter == 0 && !fault(subject, depth, X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD))
      return 0;
    if (notAfter < 0 && !fault(subject, depth, X509_V_ERR_CERT_HAS_EXPIRED))
      return 0;
    X509_STORE_CTX_set_error_depth(context, depth);
    X509_STORE_CTX_set_current_cert(context, subject);
    if (!callback(1, context))
      return 0;
    if (--depth >= 0) {
      issuer = subject;
      subject = sk_X509_value(chain, depth);
    }
  }
  return 1;
}

// The Microsoft time-stamp signing usage, which time-stamping authorities
// may name instead of the PKIX one.
constexpr const char* kMicrosoftTimeStampSigning = "1.3.6.1.4.1.311.10.3.2";

// True when the certificate names no extended key usage, or names the one
// the usage needs; a CA certificate may name any usage instead.
bool allowsUsage(X509* certificate, ChainUsage usage, bool isAuthority) {
  int critical = -1;
  EXTENDED_KEY_USAGE_ptr usages(static_cast<EXTENDED_KEY_USAGE*>(
      X509_get_ext_d2i(certificate, NID_ext_key_usage, &critical, nullptr)));
  if (!usages)
    return critical == -1; // absent: any usage; repeated or undecodable: none
  ASN1_OBJECT_ptr microsoftTimeStamping(OBJ_txt2obj(kMicrosoftTimeStampSigning, 1));
  for (int i = 0; i < sk_ASN1_OBJECT_num(usages.get()); ++i) {
    const ASN1_OBJECT* named = sk_ASN1_OBJECT_value(usages.get(), i);
    int nid = OBJ_obj2nid(named);
    if (isAuthority && nid == NID_anyExtendedKeyUsage)
      return true;
    if (usage == ChainUsage::CodeSigning && nid == NID_code_sign)
      return true;
    if (usage == ChainUsage::TimeStamping &&
        (nid == NID_time_stamp || OBJ_cmp(named, microsoftTimeStamping.get()) == 0))
      return true;
  }
  return false;
}

// True when a CRL of the issuer, signed by it, lists the certificate.
bool isRevoked(X509* certificate, X509* issuer, const TrustStores& stores) {
  EVP_PKEY* issuerKey = X509_get0_pubkey(issuer);
  if (!issuerKey)
    return false;
  for (const X509_CRL_ptr& crl : stores.crls) {
    if (X509_NAME_cmp(X509_CRL_get_issuer(crl.get()), X509_get_issuer_name(certificate)) != 0)
      continue;
    if (X509_CRL_verify(crl.get(), issuerKey) != 1)
      continue;
    X509_REVOKED* entry = nullptr;
    if (X509_CRL_get0_by_cert(crl.get(), &entry, certificate) == 1)
      return true;
  }
  return false;
}

// The usages of the root list by their object identifiers.
constexpr const char* kCodeSigningUsage = "1.3.6.1.5.5.7.3.3";
constexpr const char* kTimeStampingUsage = "1.3.6.1.5.5.7.3.8";

bool namesUsage(const std::set<std::string>& usages, ChainUsage usage) {
  return usages.count(usage == ChainUsage::CodeSigning ? kCodeSigningUsage : kTimeStampingUsage) !=
             0 ||
         (usage == ChainUsage::TimeStamping && usages.count(kMicrosoftTimeStampSigning) != 0);
}

std::time_t unixTimeOf(FileTime time) {
  const std::uint64_t ticks = time.ticks();
  return ticks < kFileTimeUnixEpoch ? 0
                                    : static_cast<std::time_t>((ticks - kFileTimeUnixEpoch) / 10000000);
}

// True when the root list lets its root vouch for the chain of leaf for
// the usage, the chain being judged as of at (the time-stamp's time, or
// now). A root is trusted only for the usages its entry names; from its
// disallowed date on, not at all for the usages that date is given for,
// unless a time-stamp dates the signature earlier; and certificates issued
// after its not-before date are not trusted under it for the usages that
// date is given for, again unless a time-stamp dates the signature earlier.
bool listAllows(const RootProgramEntry& entry, X509* leaf, std::time_t at, ChainUsage usage) {
  if (entry.usages && !namesUsage(*entry.usages, usage))
    return false;
  if (entry.disallowedFrom &&
      (entry.disallowedUsages.empty() || namesUsage(entry.disallowedUsages, usage)) &&
      at >= unixTimeOf(*entry.disallowedFrom))
    return false;
  if (entry.notBefore &&
      (entry.notBeforeUsages.empty() || namesUsage(entry.notBeforeUsages, usage))) {
    std::time_t date = unixTimeOf(*entry.notBefore);
    if (at >= date && X509_cmp_time(X509_get0_notBefore(leaf), &date) > 0)
      return false;
  }
  return true;
}

// The faults in the order the policy reports them: the first one present
// gives the chain's status.
struct Precedence {
  bool ChainFaults::*fault;
  std::uint32_t status;
};
constexpr Precedence kPrecedence[] = {
    {&ChainFaults::distrusted, kTrustExplicitDistrust},
    {&ChainFaults::badCertificateSignature, kTrustCertSignature},
    {&ChainFaults::untrustedRoot, kCertUntrustedRoot},
    {&ChainFaults::partialChain, kCertChaining},
    {&ChainFaults::notTimeValid, kCertExpired},
    {&ChainFaults::revoked, kCertRevoked},
    {&ChainFaults::wrongUsage, kCertWrongUsage},
    {&ChainFaults::basicConstraints, kTrustBasicConstraints},
    {&ChainFaults::criticalExtension, kCertCritical},
    {&ChainFaults::other, kCertChaining},
};
constexpr std::size_t kFaultless = std::size(kPrecedence);

// How far down the precedence the chain's first fault lies; kFaultless for
// a chain without faults. Of two chains the one of higher rank is better.
std::size_t rankOf(const ChainFaults& faults) {
  for (std::size_t rank = 0; rank < kFaultless; ++rank) {
    if (faults.*kPrecedence[rank].fault)
      return rank;
  }
  return kFaultless;
}

std::uint32_t statusOf(std::size_t rank) {
  return rank < kFaultless ? kPrecedence[rank].status : kTrustSuccess;
}

struct JudgedChain {
  std::size_t rank = 0;
  X509_STACK_ptr chain; // leaf first
};

// Builds the chain of leaf with OpenSSL's verifier from the anchors of
// anchors and the certificates of untrusted, and judges it with the whole
// policy.
JudgedChain judgeChain(X509* leaf, STACK_OF(X509) * untrusted, X509_STORE* anchors,
                       const TrustStores& stores, std::time_t at, ChainUsage usage) {
  JudgedChain result;
  ChainFaults faults;
  X509_STORE_CTX_ptr context(X509_STORE_CTX_new());
  if (!context || !anchors || X509_STORE_CTX_init(context.get(), anchors, leaf, untrusted) != 1) {
    faults.partialChain = true;
    result.rank = rankOf(faults);
    return result;
  }
  X509_STORE_CTX_set_app_data(context.get(), &faults);
  X509_STORE_CTX_set_verify_cb(context.get(), recordFault);
  X509_STORE_CTX_set_verify(context.get(), checkSignaturesAndTimes);
  X509_VERIFY_PARAM* parameters = X509_STORE_CTX_get0_param(context.get());
  // Every certificate of Root anchors a chain, not only self-signed ones.
  X509_VERIFY_PARAM_set_flags(parameters, X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_TRUSTED_FIRST);
  X509_VERIFY_PARAM_set_time(parameters, at);
  if (X509_verify_cert(context.get()) < 0)
    faults.other = true;
  result.chain.reset(X509_STORE_CTX_get1_chain(context.get()));
  if (!result.chain || sk_X509_num(result.chain.get()) == 0) {
    result.chain.reset(sk_X509_new_null());
    if (result.chain && X509_up_ref(leaf) == 1 && !sk_X509_push(result.chain.get(), leaf))
      X509_free(leaf);
  }
  const int length = sk_X509_num(result.chain.get());
  for (int i = 0; i < length; ++i) {
    X509* certificate = sk_X509_value(result.chain.get(), i);
    if (stores.isDisallowed(certificate))
      faults.distrusted = true;
    if (!allowsUsage(certificate, usage, i > 0))
      faults.wrongUsage = true;
    if (i + 1 < length && isRevoked(certificate, sk_X509_value(result.chain.get(), i + 1), stores))
      faults.revoked = true;
  }
  // The root list binds its roots to their usages and dates; a root it does
  // not allow for this chain's usage fails it as a root not valid for it.
  if (length > 0) {
    X509* anchor = sk_X509_value(result.chain.get(), length - 1);
    const RootProgramEntry* entry = stores.listedEntry(anchor);
    if (entry && !listAllows(*entry, leaf, at, usage))
      faults.wrongUsage = true;
  }
  result.rank = rankOf(faults);
  return result;
}

// The same for one path of the search: the verifier gets exactly the
// path's certificates, its anchor (when it reaches one) as the only anchor.
JudgedChain judgePath(const IssuerPath& path, const TrustStores& stores, std::time_t at,
                      ChainUsage usage) {
  X509_STORE_ptr anchors(X509_STORE_new());
  X509_VIEW_STACK_ptr intermediates(sk_X509_new_null());
  const std::size_t end = path.anchored ? path.certificates.size() - 1 : path.certificates.size();
  for (std::size_t i = 1; intermediates && i < end; ++i)
    sk_X509_push(intermediates.get(), path.certificates[i]);
  if (anchors && path.anchored)
    X509_STORE_add_cert(anchors.get(), path.certificates.back());
  return judgeChain(path.certificates.front(), intermediates.get(), anchors.get(), stores, at,
                    usage);
}

bool samePath(const IssuerPath& path, STACK_OF(X509) * chain) {
  if (!chain || path.certificates.size() != static_cast<std::size_t>(sk_X509_num(chain)))
    return false;
  for (std::size_t i = 0; i < path.certificates.size(); ++i) {
    if (X509_cmp(path.certificates[i], sk_X509_value(chain, static_cast<int>(i))) != 0)
      return false;
  }
  return true;
}

} // namespace

ChainResult buildChain(X509* leaf, STACK_OF(X509) * untrusted, const TrustStores& stores,
                       std::time_t at, ChainUsage usage) {
  JudgedChain best = judgeChain(leaf, untrusted, stores.root.get(), stores, at, usage);
  if (best.rank != kFaultless) {
    // Another issuer may lead to a chain without this fault (through a
    // cross-certificate to a root that allows the usage): every path is
    // judged and the best kept; of equals, the one found first.
    IssuerPathSearch search(untrusted, stores.root.get());
    JudgedChain first = std::move(best);
    best.rank = first.rank;
    for (const IssuerPath& path : search.pathsFrom(leaf)) {
      if (samePath(path, first.chain.get()))
        continue;
      JudgedChain judged = judgePath(path, stores, at, usage);
      if (judged.rank > best.rank) {
        best = std::move(judged);
        if (best.rank == kFaultless)
          break;
      }
    }
    if (!best.chain)
      best = std::move(first);
  }
  ChainResult result;
  result.status = statusOf(best.rank);
  result.chain = std::move(best.chain);
  return result;
}

} // namespace platform
