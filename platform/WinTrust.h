// The Authenticode trust check of a file: WinVerifyTrust with
// WINTRUST_ACTION_GENERIC_VERIFY_V2 (no user interface, no revocation
// checking beyond what the host knows locally) and the helpers that read the
// first signer from its state (WTHelperProvDataFromStateData,
// WTHelperGetProvSignerFromChain, WTHelperGetProvCertFromChain). The state
// is released before the result is handed back; there is nothing to close.
#pragma once

#include "platform/Certificate.h"
#include "platform/TrustStatus.h"
#include "util/FileTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct TrustCheck {
  std::uint32_t status = kCryptFileError; // kTrustSuccess or a failure HRESULT
  // The first signer, present when the status is success, CERT_E_REVOKED or
  // TRUST_E_EXPLICIT_DISTRUST.
  bool hasSigner = false;
  std::vector<Certificate> chain;     // the signer's certificate first, up to its anchor
  std::uint32_t counterSignerCount = 0; // time-stamps of the signer
  FileTime verifyAsOf;                // the time-stamp time, or the time of the check (UTC)
};

// Checks the file at the Windows path with the machine's trust stores. A
// file that cannot be opened or read gives a failure status (on hosts
// without the system's trust provider, CRYPT_E_FILE_ERROR).
TrustCheck winVerifyTrust(const std::u16string& windowsPath);

// The current time as FILETIME (UTC).
FileTime currentFileTime();

} // namespace platform
