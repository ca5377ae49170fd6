// The Authenticode check on OpenSSL: PE image, signature block, image
// digest, signer, time-stamps, and the chain policy, in the order the
// platform's trust provider runs them. Where the image or its certificate
// table is damaged, the answers follow the platform's:
// - a subject that does not start with a DOS header is no form the PE
//   provider handles: TRUST_E_SUBJECT_FORM_UNKNOWN;
// - a PE whose headers or certificate table cannot be read, whose first
//   WIN_CERTIFICATE is no revision 2.0 PKCS_SIGNED_DATA, or whose block does
//   not decode as an Authenticode SignedData carries no signature the
//   provider can retrieve: TRUST_E_NOSIGNATURE (the platform keeps the cause
//   only in its last-error value);
// - bytes after the DER block inside the WIN_CERTIFICATE are tolerated, as
//   they are unless the optional strict padding check is turned on;
// - the image digest covers the bytes after the certificate table too, so
//   data appended behind a signed image breaks its digest.
#include "platform/AuthenticodeCheck.h"

#include "platform/posix/trust/AuthenticodeSignature.h"
#include "platform/posix/trust/CertificateChain.h"
#include "platform/posix/trust/CertificateImpl.h"
#include "platform/PeImage.h"
#include "platform/posix/trust/TrustStoresImpl.h"

#include <optional>

namespace platform {
namespace {

std::time_t unixTimeOf(FileTime time) {
  const std::uint64_t ticks = time.ticks();
  if (ticks < kFileTimeUnixEpoch)
    return 0;
  return static_cast<std::time_t>((ticks - kFileTimeUnixEpoch) / 10000000);
}

// The Authenticode digest of the image with the signature's algorithm, its
// ranges read through readRange; empty when a range cannot be read (and
// readFailed is then set) or the digest fails.
std::vector<std::uint8_t> imageDigest(std::span<const std::uint8_t> image, const PeLayout& layout,
                                      const EVP_MD* algorithm, const ImageRangeReader& readRange,
                                      bool& readFailed) {
  readFailed = false;
  EVP_MD_CTX_ptr context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), algorithm, nullptr) != 1)
    return {};
  bool ok = true;
  auto update = [&](std::span<const std::uint8_t> piece) {
    return EVP_DigestUpdate(context.get(), piece.data(), piece.size()) == 1;
  };
  forEachDigestRange(image, layout, [&](std::span<const std::uint8_t> range) {
    if (!ok)
      return;
    const auto offset = static_cast<std::uint64_t>(range.data() - image.data());
    if (!readRange(offset, range.size(), update)) {
      ok = false;
      readFailed = true;
    }
  });
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!ok || EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
    return {};
  return std::vector<std::uint8_t>(digest, digest + length);
}

std::uint32_t statusOfSigner(SignerCheck check) {
  switch (check) {
  case SignerCheck::Valid: return kTrustSuccess;
  case SignerCheck::NoCertificate: return kTrustNoSignerCert;
  case SignerCheck::BadDigest:
  case SignerCheck::BadSignature: return kTrustBadDigest;
  }
  return kTrustBadDigest;
}

// A time-stamp that is present but does not verify fails the whole check:
// a PKCS#9 countersignature with TRUST_E_COUNTER_SIGNER, an RFC 3161 token
// with TRUST_E_TIME_STAMP.
std::uint32_t statusOfFailedStamp(const TimeStamp& stamp) {
  return stamp.kind == TimeStamp::Kind::CounterSignature ? kTrustCounterSigner : kTrustTimeStamp;
}

} // namespace

TrustCheck verifyImageTrust(std::span<const std::uint8_t> image, const TrustStores& stores,
                            FileTime now) {
  // The image is in memory: each range is one piece.
  const ImageRangeReader inPlace =
      [image](std::uint64_t offset, std::uint64_t length,
              const std::function<bool(std::span<const std::uint8_t>)>& consume) {
        return offset <= image.size() && length <= image.size() - offset &&
               consume(image.subspan(static_cast<std::size_t>(offset),
                                     static_cast<std::size_t>(length)));
      };
  return verifyImageTrust(image, inPlace, stores, now);
}

TrustCheck verifyImageTrust(std::span<const std::uint8_t> image,
                            const ImageRangeReader& readRange, const TrustStores& stores,
                            FileTime now) {
  TrustCheck check;
  PeLayout layout;
  switch (parsePeImage(image, layout)) {
  case PeParse::NotPe:
    check.status = kTrustSubjectFormUnknown;
    return check;
  case PeParse::Malformed:
    check.status = kTrustNoSignature;
    return check;
  case PeParse::Image:
    break;
  }
  std::span<const std::uint8_t> blob;
  if (firstSignatureBlob(image, layout, blob) != SignatureBlob::Found) {
    check.status = kTrustNoSignature;
    return check;
  }
  AuthenticodeSignature signature;
  switch (parseAuthenticode(blob, signature)) {
  case SignatureParse::NotAuthenticode:
    check.status = kTrustNoSignature;
    return check;
  case SignatureParse::UnsupportedAlgorithm:
    check.status = kBadAlgorithm;
    return check;
  case SignatureParse::Ok:
    break;
  }

  // The signer: its certificate, the image digest it vouches for, and its
  // signature over the authenticated attributes.
  X509* signer = nullptr;
  SignerCheck signerCheck = verifySignerInfo(signature.signer, signature.indirectData,
                                             signature.certificates(), nullptr, signer);
  if (signerCheck == SignerCheck::NoCertificate) {
    check.status = kTrustNoSignerCert;
    return check;
  }
  bool readFailed = false;
  if (!sameDigest(signature.imageDigestAlgorithm,
                  imageDigest(image, layout, signature.imageDigestAlgorithm, readRange, readFailed),
                  signature.imageDigest)) {
    check.status = readFailed ? kCryptFileError : kTrustBadDigest;
    return check;
  }
  if (signerCheck != SignerCheck::Valid) {
    check.status = statusOfSigner(signerCheck);
    return check;
  }

  // Time-stamps: every one must verify; the first gives the time as of which
  // the chains are judged.
  std::vector<TimeStamp> stamps = timeStampsOf(signature);
  std::optional<FileTime> stampTime;
  for (const TimeStamp& stamp : stamps) {
    if (!stamp.valid) {
      check.status = statusOfFailedStamp(stamp);
      return check;
    }
    if (!stampTime)
      stampTime = stamp.time;
  }
  const FileTime asOf = stampTime ? *stampTime : now;

  ChainResult chain = buildChain(signer, signature.certificates(), stores, unixTimeOf(asOf),
                                 ChainUsage::CodeSigning);
  std::uint32_t status = chain.status;
  // The authorities' chains, each at its own time-stamp's time.
  for (const TimeStamp& stamp : stamps) {
    if (status != kTrustSuccess)
      break;
    status = buildChain(stamp.authority, stamp.intermediates.get(), stores,
                        unixTimeOf(stamp.time), ChainUsage::TimeStamping)
                 .status;
  }
  check.status = status;
  if (status != kTrustSuccess && status != kCertRevoked && status != kTrustExplicitDistrust)
    return check;
  check.hasSigner = true;
  check.counterSignerCount = static_cast<std::uint32_t>(stamps.size());
  check.verifyAsOf = asOf;
  for (int i = 0; chain.chain && i < sk_X509_num(chain.chain.get()); ++i)
    check.chain.push_back(wrapCertificateRef(sk_X509_value(chain.chain.get(), i)));
  return check;
}

} // namespace platform
