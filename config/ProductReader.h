// What the product readers of the scan configuration share: the result of
// reading one product element, the reader signature that parseScanConfig
// dispatches on, and the element helpers every reader uses.
#pragma once

#include "config/FolderTokens.h"
#include "config/XmlDocument.h"

#include <memory>
#include <string>
#include <vector>

class FileFinder;
class ScanContext;
struct ProductRecord;

// One product element's finder and the records it made, in the order the
// session lists them. The records belong to the finder.
struct ProductReading {
  std::unique_ptr<FileFinder> finder;
  std::vector<ProductRecord*> records;
};

// Reads one product element into reading; false when the element yields
// nothing (no finder, no record). Readers use the context's scratch folder
// and folder tokens and change nothing in it.
using ProductReader = bool (*)(const XmlElement& element, const ScanContext& context,
                               ProductReading& reading);

// The child elements of element in document order; comments, processing
// instructions and text between them are skipped.
std::vector<XmlElement> childElements(const XmlElement& element);

// Appends the text of every child element named childName, with a leading
// folder token replaced, to list; empty texts are appended too.
void readTextList(const XmlElement& element, const std::u16string& childName,
                  const FolderTokenMap& folderTokens, std::vector<std::u16string>& list);

// Decodes a product's Base64 icon into a new file named by a fresh GUID in
// the scratch folder; iconPath receives the file's path on success and is
// left alone otherwise. Without a scratch folder nothing is written.
bool writeProductIcon(const std::u16string& iconText, const std::u16string& scratchFolder,
                      std::u16string& iconPath);
