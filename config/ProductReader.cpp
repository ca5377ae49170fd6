// Element helpers shared by the product readers.
#include "config/ProductReader.h"

#include "util/FileHelpers.h"
#include "util/Text.h"

std::vector<XmlElement> childElements(const XmlElement& element) {
  XmlNodeList children = childNodes(element);
  std::vector<XmlElement> elements;
  for (long i = 0; i < children.length(); ++i) {
    if (std::optional<XmlElement> child = elementAt(children, i))
      elements.push_back(*child);
  }
  return elements;
}

void readTextList(const XmlElement& element, const std::u16string& childName,
                  const FolderTokenMap& folderTokens, std::vector<std::u16string>& list) {
  for (const XmlElement& child : childElements(element)) {
    if (nodeName(child) != childName)
      continue;
    std::u16string text = nodeText(child);
    std::u16string substituted;
    list.push_back(substituteFolderToken(text, folderTokens, substituted) ? substituted : text);
  }
}

bool writeProductIcon(const std::u16string& iconText, const std::u16string& scratchFolder,
                      std::u16string& iconPath) {
  // An empty scratch folder would put the icon at the root of a drive.
  if (scratchFolder.empty())
    return false;
  std::string base64;
  if (!wideToUtf8(iconText, base64))
    return false;
  return writeBase64File(scratchFolder, iconPath, base64.data(), base64.size(), nullptr);
}
