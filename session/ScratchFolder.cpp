// Creating and removing the session's scratch folder.
#include "session/ScratchFolder.h"

#include "platform/Files.h"
#include "util/Text.h"

#include <algorithm>
#include <vector>

bool createScratchFolder(std::u16string& folder) {
  std::u16string path = platform::getTempPath();
  // Without a temporary folder the GUID alone would name a folder at the
  // root of the current drive.
  if (path.empty())
    return false;
  std::u16string guid;
  if (!newGuidString(guid))
    return false;
  path += guid;
  std::uint32_t result = platform::shCreateDirectoryEx(path);
  if (result != platform::kErrorSuccess && result != platform::kErrorFileExists &&
      result != platform::kErrorAlreadyExists)
    return false;
  folder = path;
  return true;
}

bool removeFolderTree(const std::u16string& path) {
  if (!platform::pathIsDirectory(path))
    return false;
  std::vector<std::u16string> pending{path};
  std::vector<std::u16string> folders{path};
  std::vector<std::u16string> files;
  while (!pending.empty()) {
    std::u16string folder = pending.back();
    pending.pop_back();
    platform::FileEnumeration enumeration;
    platform::FindData entry;
    if (!enumeration.findFirst(folder + u"\\*", entry))
      return false;
    do {
      if (entry.isDirectory && (entry.name == u"." || entry.name == u".."))
        continue;
      std::u16string full = folder + u"\\" + entry.name;
      if (entry.isDirectory) {
        folders.push_back(full);
        // A link to a folder is removed as a link: its target is never entered.
        if (!entry.isLink)
          pending.push_back(full);
      } else {
        files.push_back(full);
      }
    } while (enumeration.findNext(entry));
    if (enumeration.lastError() != platform::kErrorNoMoreFiles)
      return false;
  }
  for (const std::u16string& file : files) {
    if (!platform::deleteFile(file))
      return false;
  }
  std::reverse(folders.begin(), folders.end());
  for (const std::u16string& folder : folders) {
    if (!platform::removeDirectory(folder))
      return false;
  }
  return true;
}
