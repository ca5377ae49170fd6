// Reading MSIProduct and SimpleProduct elements into finders and records.
#include "config/FolderProductReaders.h"

#include "finders/FolderFinder.h"
#include "finders/MsiFileFinder.h"
#include "finders/ProductRecord.h"
#include "session/ScanContext.h"

namespace {

// The children both kinds of product share, and the product code.
struct FolderProductFields {
  std::u16string productCode;
  std::u16string displayName;
  std::vector<std::u16string> folders;
  std::vector<std::u16string> excludedSuffixes;
  std::u16string iconPath; // the icon file written while reading, or empty
};

// False when the element has no child node at all.
bool readFields(const XmlElement& element, const ScanContext& context, bool withProductCode,
                FolderProductFields& fields) {
  if (childNodes(element).length() == 0)
    return false;
  for (const XmlElement& child : childElements(element)) {
    std::u16string name = nodeName(child);
    if (withProductCode && name == u"ProductCode")
      fields.productCode = nodeText(child);
    else if (name == u"DisplayName")
      fields.displayName = nodeText(child);
    else if (name == u"Folders")
      readTextList(child, u"Folder", context.folderTokens, fields.folders);
    else if (name == u"ExcludedSuffixes")
      readTextList(child, u"ExcludedSuffix", context.folderTokens, fields.excludedSuffixes);
    else if (name == u"icon")
      writeProductIcon(nodeText(child), context.scratchFolder, fields.iconPath);
  }
  return true;
}

// Adds the folders, records whether the product is installed and its icon,
// and hands the finder over.
void finish(std::unique_ptr<FolderFinder> finder, const FolderProductFields& fields,
            ProductReading& reading) {
  for (const std::u16string& folder : fields.folders)
    finder->addFolder(folder);
  bool installed = finder->isInstalled();
  finder->product->installed = installed;
  finder->product->excluded = !installed;
  if (!fields.iconPath.empty())
    finder->product->iconPath = fields.iconPath;
  reading.records = {finder->product.get()};
  reading.finder = std::move(finder);
}

} // namespace

bool readMsiProduct(const XmlElement& element, const ScanContext& context,
                    ProductReading& reading) {
  FolderProductFields fields;
  if (!readFields(element, context, true, fields))
    return false;
  auto finder = std::make_unique<MsiFileFinder>(context.scratchFolder, fields.excludedSuffixes,
                                                fields.productCode);
  if (!fields.displayName.empty())
    finder->product->displayName = fields.displayName;
  finish(std::move(finder), fields, reading);
  return true;
}

bool readSimpleProduct(const XmlElement& element, const ScanContext& context,
                       ProductReading& reading) {
  FolderProductFields fields;
  if (!readFields(element, context, false, fields))
    return false;
  finish(std::make_unique<FolderFinder>(context.scratchFolder, fields.excludedSuffixes,
                                        fields.displayName),
         fields, reading);
  return true;
}
