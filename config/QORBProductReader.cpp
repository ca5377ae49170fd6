// Reading a QORBProduct element into the installer-database finder.
#include "config/QORBProductReader.h"

#include "finders/QORBFileFinder.h"
#include "session/ScanContext.h"

bool readQORBProduct(const XmlElement& element, const ScanContext& context,
                     ProductReading& reading) {
  if (childNodes(element).length() == 0)
    return false;
  std::vector<std::u16string> excludedCodes;
  std::vector<std::u16string> excludedSuffixes;
  for (const XmlElement& child : childElements(element)) {
    std::u16string name = nodeName(child);
    // "id" is "*" in the shipped document, the whole installer; it selects
    // nothing, so it is not looked at.
    if (name == u"excludedOrviaCode") {
      for (const XmlElement& code : childElements(child)) {
        if (nodeName(code) == u"OrviaCode")
          excludedCodes.push_back(nodeText(code));
      }
    } else if (name == u"ExcludedSuffixes") {
      readTextList(child, u"ExcludedSuffix", context.folderTokens, excludedSuffixes);
    }
  }
  auto finder = std::make_unique<QORBFileFinder>(std::move(excludedCodes),
                                                 std::move(excludedSuffixes),
                                                 context.scratchFolder);
  reading.records = finder->productRecords();
  reading.finder = std::move(finder);
  return true;
}
