// The Authenticode trust check of a file: the stand-in for WinVerifyTrust
// with WINTRUST_ACTION_GENERIC_VERIFY_V2 (no user interface, no revocation
// checking beyond the locally known CRLs) and for the helpers that read the
// first signer from its state (WTHelperProvDataFromStateData,
// WTHelperGetProvSignerFromChain, WTHelperGetProvCertFromChain). The state
// is released with the result; there is nothing to close.
#pragma once

#include "platform/AuthenticodeCheck.h"

#include <string>

namespace platform {

// Checks the file at the Windows path with the process's trust stores.
// The file is read once; a file that cannot be opened
// or read gives CRYPT_E_FILE_ERROR.
TrustCheck winVerifyTrust(const std::u16string& windowsPath);

// The same with the given stores.
TrustCheck winVerifyTrust(const std::u16string& windowsPath, const TrustStores& stores);

// The current time as FILETIME (UTC).
FileTime currentFileTime();

} // namespace platform
