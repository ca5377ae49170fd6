// The trust check of a file: headers and signature read in place from the
// file's mapping, the bytes of the image digest read once in sequence.
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
  // Headers and signature are read in place; the digest reads the file
  // through the thread's buffer.
  const ImageRangeReader fromFile =
      [&file](std::uint64_t offset, std::uint64_t length,
              const std::function<bool(std::span<const std::uint8_t>)>& consume) {
        return file.readRange(offset, length, consume);
      };
  return verifyImageTrust(file.bytes(), fromFile, stores, currentFileTime());
}

TrustCheck winVerifyTrust(const std::u16string& windowsPath) {
  return winVerifyTrust(windowsPath, processTrustStores());
}

} // namespace platform
