// The Authenticode validator for executables, libraries and plug-ins: the
// platform's trust check of the file, the facts of its first signer, and
// the affected rule.
#pragma once

#include "validation/ValidatorBase.h"

#include <cstdint>
#include <string>

// What one check of a file found, for callers that show more than the code.
struct PECheckDetails {
  bool trustChecked = false;    // false when the file was missing
  std::uint32_t trustStatus = 0; // the platform's status when checked
  SignerInfo signer;            // filled for statuses 0, revoked, distrusted
};

class PEValidator : public ValidatorBase {
public:
  // 1 when nothing exists at the path; otherwise the trust status mapped to
  // 0, 2, 3, 4, 5 or 65535, and 6 instead of 0, 4 or 5 when the signer is
  // in the affected set.
  int validate(std::u16string path) override;

  // The same, reporting what was found.
  int check(const std::u16string& path, PECheckDetails& details) const;
};

// The result code of a trust status: 0 success, 2 no signature, 3 bad
// digest, 4 revoked, 5 explicitly distrusted, 65535 anything else.
int resultOfTrustStatus(std::uint32_t status);
