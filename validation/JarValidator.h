// The validator for signed ZIP archives in the manner of a signed JAR: the
// archive's META-INF/ folder holds a signature file (".SF"), a PKCS#7
// signature block (".RSA", ".DSA" or ".EC") and a manifest (".MF"). The block
// must verify over the signature file, the signature file must agree with
// the manifest, and the manifest's digests (SHA-1 or SHA-2) with the
// archive's members.
#pragma once

#include "validation/ValidatorBase.h"

#include <cstdint>
#include <string>

class JarValidator : public ValidatorBase {
public:
  JarValidator() = default;

  // 1 when the archive cannot be opened as a ZIP archive; 2 when it lacks a
  // readable signature file, signature block or manifest; 3 when one of the
  // three checks fails; else 0, or 6 when the verifying certificate is in
  // the affected set.
  int validate(std::u16string path) override;

  // The same, reporting the facts of the certificate that verified the
  // signature block (left empty when none did).
  int check(const std::u16string& path, SignerInfo& signer);

  // META-INF/ members declared larger than this count as unreadable.
  static constexpr std::uint64_t kMaxMetaInfMemberSize = 64ull * 1024 * 1024;

  // The working state of a check (the digest attribute names in use, the
  // manifest's digests) lives in the call, not in the validator: a scan
  // checks several archives with one validator at the same time.
};
