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
  std::string trusted;     // certificates added to Root, trusted for every usage
  std::string disallowed;  // certificates of Disallowed
  std::string crls;        // revocation lists
  // Root also holds the roots of the platform's signed list of trusted
  // roots, each for the usages and dates the list gives it: the list built
  // into the program, or the newer copy in rootListFolder when that folder
  // holds a list (authroot.stl, with its certificates in
  // authroot-certificates.pem) whose signature verifies.
  bool rootList = true;
  std::string rootListFolder;

  // FENNICK_TRUSTED_CERTS, FENNICK_DISALLOWED_CERTS, FENNICK_CRLS and
  // FENNICK_AUTHROOT (the folder of a newer root list).
  static TrustStoreLocations fromEnvironment();
};

class TrustStores; // platform/posix/trust/TrustStoresImpl.h

// Loads the stores. Files that cannot be read and objects that cannot be
// decoded are skipped.
std::shared_ptr<const TrustStores> loadTrustStores(const TrustStoreLocations& locations);

// The stores of this process: those given to useProcessTrustStores, else
// those of the environment, loaded on first use. Thread-safe; every set of
// stores handed out is kept until the process ends. winVerifyTrust(path)
// checks with these.
const TrustStores& processTrustStores();

// Makes stores the stores of this process from now on, whatever the
// environment says (for hosts and tests that choose their stores).
void useProcessTrustStores(std::shared_ptr<const TrustStores> stores);

// The trust check of the file at the Windows path with the given stores.
// The file is read once; a file that cannot be opened or read gives
// CRYPT_E_FILE_ERROR.
TrustCheck winVerifyTrust(const std::u16string& windowsPath, const TrustStores& stores);

} // namespace platform
