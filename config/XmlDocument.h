// XML document access: loads a document and answers XPath 1.0 questions
// about it. Every XML document the system reads (the scan configuration, the
// folder-token helper's token.xml, the installer's payload information)
// passes through here. Nothing is ever written, validated or transformed.
//
// Documents are loaded without white-space-only text between elements, so the
// children of an element in a configuration document are elements only;
// comments, processing instructions and non-blank text are nodes that are
// not elements. Load and query operations turn every failure into a miss;
// the element operations report nothing because they cannot fail on content.
#pragma once

#include <pugixml.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A loaded document, held by shared reference: the last holder releases it.
class XmlDocument {
public:
  pugi::xml_document document;
};

// A document or one node of it, keeping the document alive. An empty node
// (default-constructed, or made from a null document) is "absent".
class XmlNode {
public:
  XmlNode() = default;
  // The document node of document (absent when document is null); not
  // explicit, so a document can be queried wherever a node is asked for.
  XmlNode(std::shared_ptr<const XmlDocument> document);
  XmlNode(std::shared_ptr<const XmlDocument> document, pugi::xpath_node node);

  bool present() const { return static_cast<bool>(node); }
  bool isElement() const { return node.node().type() == pugi::node_element; }

  const std::shared_ptr<const XmlDocument>& owner() const { return document; }
  const pugi::xpath_node& handle() const { return node; }

private:
  std::shared_ptr<const XmlDocument> document;
  pugi::xpath_node node;
};

// One element of a loaded document.
class XmlElement : public XmlNode {
public:
  using XmlNode::XmlNode;
};

// An ordered list of nodes in document order, with 0-based access.
class XmlNodeList {
public:
  XmlNodeList(std::shared_ptr<const XmlDocument> document, std::vector<pugi::xpath_node> items)
      : document(std::move(document)), items(std::move(items)) {}

  long length() const { return static_cast<long>(items.size()); }
  // Item index, or an absent node when index is out of range.
  XmlNode item(long index) const;

private:
  std::shared_ptr<const XmlDocument> document;
  std::vector<pugi::xpath_node> items;
};

using XmlDocumentPtr = std::shared_ptr<const XmlDocument>;

// Parses UTF-16 text (any encoding the text declares is ignored: it is
// already decoded). On success document holds the new document; on failure
// it is reset.
bool loadXmlText(const std::u16string& text, XmlDocumentPtr& document);

// Converts UTF-8 text up to its first zero byte and parses it as loadXmlText.
bool loadXmlUtf8(const std::string& text, XmlDocumentPtr& document);

// Loads the file at a Windows path, in the encoding it declares. A missing
// path fails at once, before anything is created.
bool loadXmlFile(const std::u16string& path, XmlDocumentPtr& document);

// False when node is absent or the expression (evaluated relative to node)
// selects nothing or is not a valid node-set expression.
bool hasXPathMatch(const XmlNode& node, const std::u16string& expression);

// When node is present and the expression matches: list holds the selection
// in document order and count its length. Otherwise list is reset and count
// left as it was. Returns whether there was a match.
bool selectXPath(const XmlNode& node, const std::u16string& expression,
                 std::optional<XmlNodeList>& list, long& count);

// The text (as nodeText) of the first match in document order; false when
// node is absent or nothing matches. The text may be empty.
bool firstXPathText(const XmlNode& node, const std::u16string& expression, std::u16string& text);

// Item index of list when it is an element; none when the list is absent, the
// index is out of range or the item is another kind of node.
std::optional<XmlElement> elementAt(const std::optional<XmlNodeList>& list, long index);
std::optional<XmlElement> elementAt(const XmlNodeList& list, long index);

// The element's qualified name exactly as written.
std::u16string nodeName(const XmlElement& element);

// The text of the node and all its descendants, concatenated, without the
// surrounding white space (the value, for an attribute).
std::u16string nodeText(const XmlNode& node);

// All child nodes of the element, elements and others, in document order.
XmlNodeList childNodes(const XmlElement& element);
