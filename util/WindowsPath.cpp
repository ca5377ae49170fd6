// Normalisation of Windows path text.
#include "util/WindowsPath.h"

namespace {

bool isSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

bool isDriveLetter(char16_t unit) {
  return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

} // namespace

std::vector<std::u16string> normalizedComponents(std::u16string_view path) {
  std::vector<std::u16string> components;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !isSeparator(path[i]))
      continue;
    std::u16string_view component = path.substr(start, i - start);
    if (component == u"..") {
      if (!components.empty())
        components.pop_back();
    } else if (!component.empty() && component != u".") {
      components.emplace_back(component);
    }
    start = i + 1;
  }
  return components;
}

bool namesFolderBelowDriveRoot(std::u16string_view path) {
  return path.size() > 3 && isDriveLetter(path[0]) && path[1] == u':' && isSeparator(path[2]) &&
         !normalizedComponents(path.substr(3)).empty();
}
