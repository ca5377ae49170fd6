// The Authenticode trust check of a file: the stand-in for WinVerifyTrust
// with WINTRUST_ACTION_GENERIC_VERIFY_V2 (no user interface, no revocation
// checking beyond the locally known CRLs) and for the helpers that read the
// first signer from its state (WTHelperProvDataFromStateData,
// WTHelperGetProvSignerFromChain, WTHelperGetProvCertFromChain). The state
// is released with the result; there is nothing to close.
#pragma once

#include "platform/Certificate.h"
#include "platform/TrustStatus.h"
#include "util/FileTime.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

class TrustStores;

struct TrustCheck {
  std::uint32_t status = kCryptFileError; // kTrustSuccess or a failure HRESULT
  // The first signer, present when the status is success, CERT_E_REVOKED or
  // TRUST_E_EXPLICIT_DISTRUST.
  bool hasSigner = false;
  std::vector<Certificate> chain;     // the signer's certificate first, up to its anchor
  std::uint32_t counterSignerCount = 0; // time-stamps of the signer
  FileTime verifyAsOf;                // the time-stamp time, or the time of the check (UTC)
};

// Checks the file at the Windows path with the process's trust stores.
// The file is mapped once and read in place.
TrustCheck winVerifyTrust(const std::u16string& windowsPath);

// The same with the given stores.
TrustCheck winVerifyTrust(const std::u16string& windowsPath, const TrustStores& stores);

// The check of an image already in memory, as of the time now. Reads only
// the bytes given.
TrustCheck verifyImageTrust(std::span<const std::uint8_t> image, const TrustStores& stores,
                            FileTime now);

// The current time as FILETIME (UTC).
FileTime currentFileTime();

} // namespace platform
