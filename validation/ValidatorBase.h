// The abstract validator with the signer criteria every validator shares,
// the signer facts a validator gathers, and the rule that decides from them
// whether a file is affected.
#pragma once

#include "util/FileTime.h"

#include <string>

// What a concrete validator learned about the signer of one file.
struct SignerInfo {
  // Simple display names of the signer's chain, signer first, joined by "{|}".
  std::u16string subjectNames;
  FileTime signingTime;     // time-stamp time (UTC); zero when there is none
  std::u16string thumbprint; // SHA-1 of the signer certificate, upper-case hex
};

class ValidatorBase {
public:
  ValidatorBase() = default;
  virtual ~ValidatorBase() = default;
  ValidatorBase(const ValidatorBase&) = delete;
  ValidatorBase& operator=(const ValidatorBase&) = delete;

  // Checks the file at path; returns a ValidationResult code. The scan
  // calls it from several threads at once, for different files: a
  // validator keeps no state of its own between or during calls.
  virtual int validate(std::u16string path) = 0;

  // True when the signer falls in the affected set these criteria define.
  bool isAffected(const SignerInfo& signer) const;

  std::u16string companyName;     // must occur in the chain names, if set
  std::u16string certificateHash; // must occur in the thumbprint, if set
  FileTime startDate;             // inclusive lower bound of the signing time
  FileTime endDate;               // inclusive upper bound of the signing time
};
