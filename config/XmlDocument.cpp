// XML document access on pugixml with its XPath 1.0 engine.
#include "config/XmlDocument.h"

#include "platform/Files.h"
#include "platform/MappedFile.h"
#include "platform/WindowsNamespace.h"
#include "util/Text.h"

namespace {

// Comments and processing instructions become nodes; white-space-only text
// does not (parse_ws_pcdata stays off). Parsing as a fragment keeps text
// outside the root element, so that hasSingleRoot can refuse it.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration |
    pugi::parse_fragment;

std::u16string wide(const char* text) {
  std::u16string result;
  utf8ToWide(text, result);
  return result;
}

// A well-formed document has exactly one top-level element and, besides it,
// only comments, processing instructions and the declaration.
bool hasSingleRoot(const pugi::xml_document& document) {
  int elements = 0;
  for (pugi::xml_node child : document.children()) {
    switch (child.type()) {
    case pugi::node_element: ++elements; break;
    case pugi::node_comment:
    case pugi::node_pi:
    case pugi::node_declaration:
    case pugi::node_doctype: break;
    default: return false;
    }
  }
  return elements == 1;
}

bool finishLoad(std::shared_ptr<XmlDocument> loaded, const pugi::xml_parse_result& result,
                XmlDocumentPtr& document) {
  if (!result || !hasSingleRoot(loaded->document))
    return false;
  document = std::move(loaded);
  return true;
}

// The selection of expression relative to node in document order; nothing
// for an absent node, an invalid expression or one that is no node set.
std::optional<std::vector<pugi::xpath_node>> evaluate(const XmlNode& node,
                                                      const std::u16string& expression) {
  if (!node.present())
    return std::nullopt;
  try {
    std::string utf8;
    if (!wideToUtf8(expression, utf8))
      return std::nullopt;
    pugi::xpath_query query(utf8.c_str());
    if (!query || query.return_type() != pugi::xpath_type_node_set)
      return std::nullopt;
    pugi::xpath_node_set selection = query.evaluate_node_set(node.handle());
    selection.sort();
    return std::vector<pugi::xpath_node>(selection.begin(), selection.end());
  } catch (...) {
    return std::nullopt;
  }
}

void appendText(pugi::xml_node node, std::string& text) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      text += child.value();
    else if (child.type() == pugi::node_element)
      appendText(child, text);
  }
}

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

XmlNode::XmlNode(std::shared_ptr<const XmlDocument> document) : document(std::move(document)) {
  if (this->document)
    node = pugi::xpath_node(this->document->document);
}

XmlNode::XmlNode(std::shared_ptr<const XmlDocument> document, pugi::xpath_node node)
    : document(std::move(document)), node(node) {}

XmlNode XmlNodeList::item(long index) const {
  if (index < 0 || index >= length())
    return XmlNode();
  return XmlNode(document, items[static_cast<size_t>(index)]);
}

bool loadXmlText(const std::u16string& text, XmlDocumentPtr& document) {
  document.reset();
  try {
    std::string utf8;
    if (!wideToUtf8(text, utf8))
      return false;
    auto loaded = std::make_shared<XmlDocument>();
    pugi::xml_parse_result result = loaded->document.load_buffer(
        utf8.data(), utf8.size(), kParseOptions, pugi::encoding_utf8);
    return finishLoad(std::move(loaded), result, document);
  } catch (...) {
    return false;
  }
}

bool loadXmlUtf8(const std::string& text, XmlDocumentPtr& document) {
  document.reset();
  std::u16string wideText;
  if (!utf8ToWide(text, wideText))
    return false;
  return loadXmlText(wideText, document);
}

bool loadXmlFile(const std::u16string& path, XmlDocumentPtr& document) {
  document.reset();
  if (!platform::pathFileExists(path))
    return false;
  // A folder is no document (and the XML library would size it wrongly).
  if (platform::pathIsDirectory(path))
    return false;
  try {
    std::optional<std::string> host = platform::toHostPath(path);
    if (!host)
      return false;
    // Read through the platform, which opens the file under its wide name:
    // the XML library's own file loading takes a narrow name, which Windows
    // reads in the ANSI code page, so a folder named outside it (a user's
    // temporary folder) would never load.
    platform::MappedFile file;
    if (!file.open(*host))
      return false;
    const std::span<const std::uint8_t> bytes = file.bytes();
    auto loaded = std::make_shared<XmlDocument>();
    pugi::xml_parse_result result = loaded->document.load_buffer(
        bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto);
    return finishLoad(std::move(loaded), result, document);
  } catch (...) {
    return false;
  }
}

bool hasXPathMatch(const XmlNode& node, const std::u16string& expression) {
  std::optional<std::vector<pugi::xpath_node>> selection = evaluate(node, expression);
  return selection && !selection->empty();
}

bool selectXPath(const XmlNode& node, const std::u16string& expression,
                 std::optional<XmlNodeList>& list, long& count) {
  list.reset();
  if (!hasXPathMatch(node, expression))
    return false;
  std::optional<std::vector<pugi::xpath_node>> selection = evaluate(node, expression);
  if (!selection || selection->empty())
    return false;
  list.emplace(node.owner(), std::move(*selection));
  count = list->length();
  return true;
}

bool firstXPathText(const XmlNode& node, const std::u16string& expression, std::u16string& text) {
  if (!hasXPathMatch(node, expression))
    return false;
  std::optional<std::vector<pugi::xpath_node>> selection = evaluate(node, expression);
  if (!selection || selection->empty())
    return false;
  try {
    text = nodeText(XmlNode(node.owner(), selection->front()));
  } catch (...) {
    return false;
  }
  return true;
}

std::optional<XmlElement> elementAt(const XmlNodeList& list, long index) {
  XmlNode item = list.item(index);
  if (!item.isElement())
    return std::nullopt;
  return XmlElement(item.owner(), item.handle());
}

std::optional<XmlElement> elementAt(const std::optional<XmlNodeList>& list, long index) {
  if (!list)
    return std::nullopt;
  return elementAt(*list, index);
}

std::u16string nodeName(const XmlElement& element) {
  return wide(element.handle().node().name());
}

std::u16string nodeText(const XmlNode& node) {
  const pugi::xpath_node& handle = node.handle();
  std::string text;
  if (handle.attribute()) {
    text = handle.attribute().value();
  } else {
    pugi::xml_node target = handle.node();
    if (target.type() == pugi::node_element || target.type() == pugi::node_document)
      appendText(target, text);
    else
      text = target.value();
  }
  size_t first = 0;
  while (first < text.size() && isXmlSpace(text[first]))
    ++first;
  size_t last = text.size();
  while (last > first && isXmlSpace(text[last - 1]))
    --last;
  return wide(text.substr(first, last - first).c_str());
}

XmlNodeList childNodes(const XmlElement& element) {
  std::vector<pugi::xpath_node> children;
  for (pugi::xml_node child : element.handle().node().children())
    children.emplace_back(child);
  return XmlNodeList(element.owner(), std::move(children));
}
