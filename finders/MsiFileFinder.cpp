// The Windows Installer product finder.
#include "finders/MsiFileFinder.h"

#include "finders/PackageFiles.h"
#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "platform/Files.h"
#include "platform/InstallerPackage.h"
#include "platform/WindowsInstaller.h"
#include "platform/WindowsNamespace.h"
#include "util/FileNameCase.h"
#include "util/Text.h"
#include "util/WindowsPath.h"
#include "validation/FileFilter.h"

#include <array>
#include <vector>

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

// A property of any length (the cached package's path may be long); false
// when Windows Installer does not answer it.
bool productInfoAnyLength(const std::u16string& productCode, const std::u16string& property,
                          std::u16string& text) {
  std::vector<char16_t> buffer(kBufferUnits);
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::uint32_t length = std::uint32_t(buffer.size());
    std::uint32_t result =
        platform::msiGetProductInfo(productCode, property, buffer.data(), length);
    if (result == 0) {
      text.assign(buffer.data());
      return true;
    }
    if (result != platform::kErrorMoreData)
      return false;
    buffer.assign(std::size_t(length) + 1, 0);
  }
  return false;
}

// A recorded location that can be walked: a path below a drive root once
// normalised, naming an existing folder whose walk covers no drive root
// however it is spelt. Everything else (empty, relative, an unformatted
// "[INSTALLDIR]", a bare drive, "C:\..", a missing folder, a link to a
// drive root) would make the walk cover a drive root or nothing at all.
bool usableLocation(const std::u16string& location) {
  return namesFolderBelowDriveRoot(location) && platform::isWalkableFolder(location);
}

// The folder a component's key path names: a folder key path (ending with a
// backslash) names itself, a file key path its parent. Empty for a registry
// key path ("02:\Software\..."), anything else that is no absolute path,
// and a drive root, which is never listed on behalf of one product.
std::u16string keyPathFolder(const std::u16string& keyPath) {
  if (!namesFolderBelowDriveRoot(keyPath))
    return {};
  std::u16string folder = keyPath;
  if (folder.back() != u'\\')
    folder.erase(folder.rfind(u'\\') + 1);
  while (!folder.empty() && folder.back() == u'\\')
    folder.pop_back();
  return namesFolderBelowDriveRoot(folder + u"\\") ? folder : std::u16string();
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
    if (usableLocation(record->installLocation))
      addFolder(record->installLocation);
    else
      listsComponents = true;
    msiInstalled = true;
  }
  product = std::move(record);
}

bool MsiFileFinder::findFiles(FileFilter& filter, std::vector<FileValueObject*>& files) {
  FolderFinder::findFiles(filter, files);
  if (listsComponents && !listPackageFiles(filter, files))
    listComponentFolders(filter, files);
  return true;
}

bool MsiFileFinder::listPackageFiles(FileFilter& filter, std::vector<FileValueObject*>& files) {
  std::u16string packagePath;
  platform::InstallerPackage package;
  if (!productInfoAnyLength(productCode, u"LocalPackage", packagePath) || packagePath.empty() ||
      !platform::readInstallerPackage(packagePath, package))
    return false;
  // One question per component the package names. A component counts when
  // it is installed locally; one with a registry key path also when Windows
  // Installer finds its key absent, since it may look in the other registry
  // view than the one a 32-bit package wrote to (its files are looked for
  // on disk all the same).
  std::map<std::u16string, std::u16string> localKeyPaths; // Component -> key path
  for (const platform::PackageComponent& component : package.components) {
    if (component.componentId.empty() || localKeyPaths.count(component.component))
      continue;
    std::u16string keyPath;
    int state = platform::msiGetComponentPath(productCode, component.componentId, keyPath);
    if (state == platform::kInstallStateLocal ||
        (state == platform::kInstallStateAbsent && isRegistryKeyPath(keyPath)))
      localKeyPaths.emplace(component.component, keyPath);
  }
  for (const std::u16string& path : packageFilePaths(package, localKeyPaths)) {
    if (isExcluded(path) || !filter.accept(path))
      continue;
    // A file the package lists but the disk lacks is not the product's now.
    if (!platform::pathFileExists(path) || platform::pathIsDirectory(path))
      continue;
    valueObjects.push_back(createValueObject(path));
    files.push_back(valueObjects.back().get());
  }
  return true;
}

void MsiFileFinder::listComponentFolders(FileFilter& filter, std::vector<FileValueObject*>& files) {
  componentFolders.clear();
  std::vector<std::u16string> keyPaths;
  if (platform::msiProductComponentPaths(productCode, keyPaths) != 0)
    return;
  for (const std::u16string& keyPath : keyPaths) {
    std::u16string folder = keyPathFolder(keyPath);
    if (folder.empty())
      continue;
    std::u16string folded = folder; // the file system's folding: one folder, one key
    toUpperFileName(folded);
    componentFolders.emplace(folded, folder);
  }
  for (const auto& [folded, folder] : componentFolders)
    listFolder(filter, files, folder);
}

bool MsiFileFinder::isInstalled() { return msiInstalled || FolderFinder::isInstalled(); }

std::unique_ptr<FileValueObject> MsiFileFinder::createValueObject(const std::u16string& path) {
  return std::make_unique<MsiFileValueObject>(path, product.get());
}

MsiProductRecord& MsiFileFinder::record() { return static_cast<MsiProductRecord&>(*product); }
