// The parts of a folder listing that are the same on every host: the
// pattern it serves, the order of its entries and handing them out.
#include "platform/Files.h"

#include "util/Text.h"

#include <algorithm>

namespace platform {

FileEnumeration::~FileEnumeration() { close(); }

void FileEnumeration::close() {
  entries.clear();
  next = 0;
}

bool FileEnumeration::patternFolder(const std::u16string& pattern, std::u16string& folder) {
  // Only the pattern "<folder>\\*" is served: every caller enumerates a whole folder.
  if (pattern.size() < 2 || pattern.back() != u'*' ||
      (pattern[pattern.size() - 2] != u'\\' && pattern[pattern.size() - 2] != u'/')) {
    error = kErrorFileNotFound;
    return false;
  }
  folder = pattern.substr(0, pattern.size() - 1);
  return true;
}

void FileEnumeration::sortEntries() {
  // By name with ASCII letters folded, names equal so ordered by their units.
  std::stable_sort(entries.begin(), entries.end(), [](const FindData& a, const FindData& b) {
    std::u16string left = a.name, right = b.name;
    toUpperAscii(left);
    toUpperAscii(right);
    return left != right ? left < right : a.name < b.name;
  });
}

bool FileEnumeration::findNext(FindData& data) {
  if (next >= entries.size()) {
    error = endError;
    return false;
  }
  data = entries[next++];
  error = kErrorSuccess;
  return true;
}

} // namespace platform
