// Names of the validation codes, for the command-line tools.
#include "validation/ValidationResult.h"

namespace ValidationResult {

const char* name(int result) {
  switch (result) {
  case Verified: return "Verified";
  case FileNotFound: return "FileNotFound";
  case NoSignature: return "NoSignature";
  case BadSignature: return "BadSignature";
  case Revoked: return "Revoked";
  case ExplicitlyDistrusted: return "ExplicitlyDistrusted";
  case Affected: return "Affected";
  case OtherTrustFailure: return "OtherTrustFailure";
  default: return nullptr;
  }
}

} // namespace ValidationResult
