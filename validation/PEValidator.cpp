// PEValidator: trust check, signer facts, status mapping, affected rule.
#include "validation/PEValidator.h"

#include "platform/Files.h"
#include "platform/WinTrust.h"
#include "validation/CertificateNames.h"
#include "validation/ValidationResult.h"

namespace {

bool reportsSigner(std::uint32_t status) {
  return status == platform::kTrustSuccess || status == platform::kCertRevoked ||
         status == platform::kTrustExplicitDistrust;
}

// The signer facts of a check: the time-stamp time when there is a
// countersigner, the thumbprint and name of the signer's certificate, and
// the names of the rest of its chain joined by "{|}".
SignerInfo signerFacts(const platform::TrustCheck& trust) {
  SignerInfo signer;
  if (!trust.hasSigner)
    return signer;
  if (trust.counterSignerCount > 0)
    signer.signingTime = trust.verifyAsOf;
  for (std::size_t index = 0; index < trust.chain.size(); ++index) {
    const platform::Certificate& certificate = trust.chain[index];
    if (!certificate)
      continue;
    if (index == 0) {
      signer.thumbprint = certificateThumbprint(certificate);
      signer.subjectNames = certificateDisplayName(certificate);
      continue;
    }
    std::u16string name = certificateDisplayName(certificate);
    if (name.empty())
      continue;
    if (!signer.subjectNames.empty())
      signer.subjectNames += u"{|}";
    signer.subjectNames += name;
  }
  return signer;
}

} // namespace

int resultOfTrustStatus(std::uint32_t status) {
  switch (status) {
  case platform::kTrustSuccess: return ValidationResult::Verified;
  case platform::kTrustNoSignature: return ValidationResult::NoSignature;
  case platform::kTrustBadDigest: return ValidationResult::BadSignature;
  case platform::kCertRevoked: return ValidationResult::Revoked;
  case platform::kTrustExplicitDistrust: return ValidationResult::ExplicitlyDistrusted;
  default: return ValidationResult::OtherTrustFailure;
  }
}

int PEValidator::validate(std::u16string path) {
  PECheckDetails details;
  return check(path, details);
}

int PEValidator::check(const std::u16string& path, PECheckDetails& details) const {
  details = PECheckDetails{};
  const platform::TrustCheck trust = platform::winVerifyTrust(path);
  // Whether the file is there is asked only of a check that failed: a file
  // that verifies exists, and most files verify.
  if (trust.status != platform::kTrustSuccess && !platform::pathFileExists(path))
    return ValidationResult::FileNotFound;
  details.trustChecked = true;
  details.trustStatus = trust.status;
  if (reportsSigner(trust.status))
    details.signer = signerFacts(trust);
  int result = resultOfTrustStatus(trust.status);
  if ((result == ValidationResult::Verified || result == ValidationResult::Revoked ||
       result == ValidationResult::ExplicitlyDistrusted) &&
      isAffected(details.signer))
    result = ValidationResult::Affected;
  return result;
}
