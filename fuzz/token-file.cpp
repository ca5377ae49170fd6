// Fuzz target: the folder-token helper's token.xml as the session reads it.
#include "config/FolderTokenHelper.h"
#include "config/XmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  XmlDocumentPtr document;
  if (!loadXmlUtf8(std::string(reinterpret_cast<const char*>(data), size), document))
    return 0;
  FolderTokenMap tokens;
  readFolderTokenFile(document, tokens);
  return 0;
}
