// The trust check of a file: the file mapped once, then checked in place.
#include "platform/WinTrust.h"

#include "platform/AuthenticodeCheck.h"
#include "platform/MappedFile.h"
#include "platform/TrustStores.h"
#include "platform/WindowsNamespace.h"

#include <chrono>
#include <optional>

namespace platform {

FileTime currentFileTime() {
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / 100;
  return FileTime::fromTicks(kFileTimeUnixEpoch + static_cast<std::uint64_t>(ticks));
}

TrustCheck winVerifyTrust(const std::u16string& windowsPath, const TrustStores& stores) {
  TrustCheck check;
  std::optional<std::string> hostPath = toHostPath(windowsPath);
  MappedFile file;
  if (!hostPath || !file.open(*hostPath)) {
    check.status = kCryptFileError;
    return check;
  }
  return verifyImageTrust(file.bytes(), stores, currentFileTime());
}

TrustCheck winVerifyTrust(const std::u16string& windowsPath) {
  return winVerifyTrust(windowsPath, processTrustStores());
}

} // namespace platform
