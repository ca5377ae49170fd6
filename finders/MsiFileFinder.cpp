// The Windows Installer product finder.
#include "finders/MsiFileFinder.h"

#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "platform/WindowsInstaller.h"
#include "util/Text.h"

#include <array>

namespace {

constexpr std::uint32_t kBufferUnits = 260; // MAX_PATH

// One property into text; false when Windows Installer does not answer it.
bool productInfo(const std::u16string& productCode, const std::u16string& property,
                 std::array<char16_t, kBufferUnits>& buffer, std::u16string& text) {
  std::uint32_t length = kBufferUnits;
  if (platform::msiGetProductInfo(productCode, property, buffer.data(), length) != 0)
    return false;
  text.assign(buffer.data());
  return true;
}

} // namespace

MsiFileFinder::MsiFileFinder(std::u16string scratchFolder,
                             std::vector<std::u16string> excludedSuffixes,
                             std::u16string productCode)
    : FolderFinder(std::move(scratchFolder), std::move(excludedSuffixes)),
      productCode(std::move(productCode)) {
  std::array<char16_t, kBufferUnits> buffer{};
  auto record = std::make_unique<MsiProductRecord>();
  wideToUtf8(this->productCode, record->id);

  if (productInfo(this->productCode, u"InstallLocation", buffer, record->installLocation)) {
    if (!productInfo(this->productCode, u"InstalledProductName", buffer, record->displayName))
      record->displayName.clear();
    addFolder(record->installLocation);
    msiInstalled = true;
  }
  product = std::move(record);
}

bool MsiFileFinder::isInstalled() { return msiInstalled || FolderFinder::isInstalled(); }

std::unique_ptr<FileValueObject> MsiFileFinder::createValueObject(const std::u16string& path) {
  return std::make_unique<MsiFileValueObject>(path, product.get());
}

MsiProductRecord& MsiFileFinder::record() { return static_cast<MsiProductRecord&>(*product); }
