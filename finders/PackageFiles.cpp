// The files of a Windows Installer package's installed components.
#include "finders/PackageFiles.h"

#include "platform/InstallerPackage.h"
#include "util/FileNameCase.h"
#include "util/Text.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

bool isDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Units a file name never holds on Windows (besides control characters).
constexpr std::u16string_view kForbidden = u"\\/:*?\"<>|";

// Device names that Windows resolves in every folder.
constexpr std::array<std::u16string_view, 4> kDevices = {u"CON", u"PRN", u"AUX", u"NUL"};

// True for CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 as the part of
// name before its first dot (trailing spaces dropped), in any letter case.
bool isDeviceName(const std::u16string& name) {
  std::u16string base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ')
    base.pop_back();
  toUpperAscii(base);
  if (std::find(kDevices.begin(), kDevices.end(), base) != kDevices.end())
    return true;
  return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
         base[3] >= u'1' && base[3] <= u'9';
}

} // namespace

std::u16string longFileName(const std::u16string& fileName) {
  std::size_t bar = fileName.find(u'|');
  return bar == std::u16string::npos ? fileName : fileName.substr(bar + 1);
}

bool isPlainFileName(const std::u16string& name) {
  if (name.empty() || name.back() == u'.' || name.back() == u' ')
    return false;
  for (char16_t unit : name) {
    if (unit < 0x20 || kForbidden.find(unit) != std::u16string_view::npos)
      return false;
  }
  return !isDeviceName(name);
}

bool isRegistryKeyPath(const std::u16string& keyPath) {
  auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  return keyPath.size() >= 3 && isDigit(keyPath[0]) && isDigit(keyPath[1]) && keyPath[2] == u':';
}

std::u16string componentFolder(const std::u16string& keyPath) {
  bool onDrive = keyPath.size() >= 3 && isDriveLetter(keyPath[0]) && keyPath[1] == u':' &&
                 keyPath[2] == u'\\';
  if (!onDrive)
    return {};
  std::u16string folder = keyPath.substr(0, keyPath.rfind(u'\\'));
  while (folder.size() > 2 && folder.back() == u'\\')
    folder.pop_back();
  return folder;
}

std::vector<std::u16string> packageFilePaths(
    const platform::InstallerPackage& package,
    const std::map<std::u16string, std::u16string>& localKeyPaths) {
  // The folder of each component, first those with a file or folder key
  // path, then those with a registry key path through their Directory_.
  std::map<std::u16string, std::u16string> folderOf;       // Component -> folder
  std::map<std::u16string, std::u16string> directoryFolder; // Directory_ -> folder
  for (const platform::PackageComponent& component : package.components) {
    auto keyPath = localKeyPaths.find(component.component);
    if (keyPath == localKeyPaths.end())
      continue;
    std::u16string folder = componentFolder(keyPath->second);
    if (folder.empty())
      continue;
    folderOf.emplace(component.component, folder);
    directoryFolder.emplace(component.directory, folder);
  }
  for (const platform::PackageComponent& component : package.components) {
    if (!localKeyPaths.count(component.component) || folderOf.count(component.component))
      continue;
    auto shared = directoryFolder.find(component.directory);
    if (shared != directoryFolder.end())
      folderOf.emplace(component.component, shared->second);
  }

  std::map<std::u16string, std::u16string> paths; // folded path -> path
  for (const platform::PackageFile& file : package.files) {
    auto folder = folderOf.find(file.component);
    if (folder == folderOf.end())
      continue;
    std::u16string name = longFileName(file.fileName);
    if (!isPlainFileName(name))
      continue;
    std::u16string path = folder->second + u"\\" + name;
    std::u16string folded = path; // the file system's folding: one file, one key
    toUpperFileName(folded);
    paths.emplace(std::move(folded), std::move(path));
  }
  std::vector<std::u16string> ordered;
  ordered.reserve(paths.size());
  for (auto& [folded, path] : paths)
    ordered.push_back(std::move(path));
  return ordered;
}
