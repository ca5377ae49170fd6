// The affected rule shared by every validator.
#include "validation/ValidatorBase.h"

#include "util/Text.h"

bool ValidatorBase::isAffected(const SignerInfo& signer) const {
  // An empty chain name skips the company test rather than failing it.
  if (!companyName.empty() && !signer.subjectNames.empty() &&
      !containsNoCase(signer.subjectNames, companyName))
    return false;
  if (!certificateHash.empty() && !containsNoCase(signer.thumbprint, certificateHash))
    return false;
  if (!startDate.isSet() && !endDate.isSet())
    return !certificateHash.empty();
  if (!signer.signingTime.isSet())
    return true;
  if (startDate.isSet() && signer.signingTime.ticks() < startDate.ticks())
    return false;
  if (endDate.isSet() && signer.signingTime.ticks() > endDate.ticks())
    return false;
  return true;
}
