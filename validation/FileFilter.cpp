// Extension-based file filter.
#include "validation/FileFilter.h"

#include "util/Text.h"

bool CustomFileFilter::accept(const std::u16string& path) {
  for (const std::u16string& extension : extensions) {
    if (endsWithNoCase(path, extension))
      return true;
  }
  return false;
}

void CustomFileFilter::addExtension(const std::u16string& extension) {
  extensions.insert(extension);
}
