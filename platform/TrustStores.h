// The certificate stores that our own trust check consults on hosts without
// the system's trust provider: Root (trust anchors), Disallowed (explicitly
// distrusted certificates) and the locally known certificate revocation
// lists. Where WinVerifyTrust does the check, the stores are the system's
// and this header has no implementation.
#pragma once

#include "platform/WinTrust.h"

#include <memory>
#include <string>

namespace platform {

// Where the stores come from. Each list is colon-separated; an element is a
// file (PEM with any number of objects, or one DER object) or a folder whose
// files are read in name order.
struct TrustStoreLocations {
  std::string trusted;     // certificates added to Root
  std::string disallowed;  // certificates of Disallowed
  std::string crls;        // revocation lists
  bool systemRoots = true; // Root also holds the system's CA store

  // FENNICK_TRUSTED_CERTS, FENNICK_DISALLOWED_CERTS and FENNICK_CRLS.
  static TrustStoreLocations fromEnvironment();
};

class TrustStores; // platform/TrustStoresImpl.h

// Loads the stores. Files that cannot be read and objects that cannot be
// decoded are skipped.
std::shared_ptr<const TrustStores> loadTrustStores(const TrustStoreLocations& locations);

// The stores of this process, loaded from the environment on first use
// (thread-safe) and kept until the process ends. winVerifyTrust(path)
// checks with these.
const TrustStores& processTrustStores();

// The trust check of the file at the Windows path with the given stores.
// The file is mapped once and read in place; a file that cannot be opened
// or read gives CRYPT_E_FILE_ERROR.
TrustCheck winVerifyTrust(const std::u16string& windowsPath, const TrustStores& stores);

} // namespace platform
