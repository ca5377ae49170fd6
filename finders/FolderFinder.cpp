// The folder finder and its depth-first walk.
#include "finders/FolderFinder.h"

#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "platform/Files.h"
#include "util/Text.h"
#include "validation/FileFilter.h"

#include <algorithm>

FolderFinder::FolderFinder(std::u16string scratchFolder,
                           std::vector<std::u16string> excludedSuffixes)
    : FileFinder(std::move(scratchFolder), std::move(excludedSuffixes)) {}

FolderFinder::FolderFinder(std::u16string scratchFolder,
                           std::vector<std::u16string> excludedSuffixes,
                           const std::u16string& displayName)
    : FileFinder(std::move(scratchFolder), std::move(excludedSuffixes)),
      product(std::make_unique<ProductRecord>()) {
  product->displayName = displayName;
}

FolderFinder::~FolderFinder() = default;

void FolderFinder::addFolder(const std::u16string& folder) { folders.insert(folder); }

bool FolderFinder::isInstalled() {
  for (const std::u16string& folder : folders) {
    if (platform::pathIsDirectory(folder))
      return true;
  }
  return false;
}

std::unique_ptr<FileValueObject> FolderFinder::createValueObject(const std::u16string& path) {
  return std::make_unique<FileValueObject>(path, product.get());
}

bool FolderFinder::findFiles(FileFilter& filter, std::vector<FileValueObject*>& files) {
  for (const std::u16string& folder : folders) {
    WalkCycleGuard guard(folder);
    walkFolder(filter, files, folder, guard);
  }
  return true;
}

bool FolderFinder::isExcluded(const std::u16string& fullPath) const {
  return std::any_of(excludedSuffixes.begin(), excludedSuffixes.end(),
                     [&](const std::u16string& suffix) { return endsWithNoCase(fullPath, suffix); });
}

void FolderFinder::offerFile(FileFilter& filter, std::vector<FileValueObject*>& files,
                             const std::u16string& fullPath) {
  if (!filter.accept(fullPath))
    return;
  valueObjects.push_back(createValueObject(fullPath));
  files.push_back(valueObjects.back().get());
}

bool FolderFinder::listFolder(FileFilter& filter, std::vector<FileValueObject*>& files,
                              const std::u16string& folder) {
  platform::FileEnumeration enumeration;
  platform::FindData entry;
  if (!enumeration.findFirst(folder + u"\\*", entry))
    return false;
  do {
    if (entry.isDirectory)
      continue;
    std::u16string fullPath = folder + u"\\" + entry.name;
    if (!isExcluded(fullPath))
      offerFile(filter, files, fullPath);
  } while (enumeration.findNext(entry));
  return true;
}

bool FolderFinder::walkFolder(FileFilter& filter, std::vector<FileValueObject*>& files,
                              const std::u16string& folder, WalkCycleGuard& guard) {
  platform::FileEnumeration enumeration;
  platform::FindData entry;
  if (!enumeration.findFirst(folder + u"\\*", entry))
    return false;
  do {
    if (entry.name == u"." || entry.name == u"..")
      continue;
    std::u16string fullPath = folder + u"\\" + entry.name;
    if (isExcluded(fullPath))
      continue;
    if (entry.isDirectory) {
      if (!guard.enter(entry))
        continue;
      walkFolder(filter, files, fullPath, guard);
      guard.leave();
    } else {
      offerFile(filter, files, fullPath);
    }
  } while (enumeration.findNext(entry));
  return true;
}
