// Loading XML documents and answering XPath questions about them.
#include "config/XmlDocument.h"

#include "platform/Files.h"
#include "platform/WindowsNamespace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

XmlDocumentPtr load(const std::u16string& text) {
  XmlDocumentPtr document;
  EXPECT_TRUE(loadXmlText(text, document));
  return document;
}

constexpr char16_t kConfig[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    u"<ScanConfig>\n"
    u"  <Validators>\n"
    u"    <Validator>\n"
    u"      <!-- a comment -->\n"
    u"      <?note to self?>\n"
    u"      <Type>PE</Type>\n"
    u"      <FileTypes><Extension>exe</Extension>  <Extension> .DLL </Extension></FileTypes>\n"
    u"    </Validator>\n"
    u"    <Validator>stray <Type>JAR</Type></Validator>\n"
    u"  </Validators>\n"
    u"  <Products><SimpleProduct/><MSIProduct/></Products>\n"
    u"  <PayloadInfo><InstallerProperties>\n"
    u"    <Property name='Other'>x</Property>\n"
    u"    <Property name='ProductName'>  Orvia <b>Sketch</b> &amp; Co  </Property>\n"
    u"    <Property name='ProductName'>second</Property>\n"
    u"  </InstallerProperties></PayloadInfo>\n"
    u"</ScanConfig>\n";

} // namespace

TEST(XmlDocument, TextIgnoresTheDeclaredEncodingAndRejectsMalformedText) {
  XmlDocumentPtr document;
  EXPECT_TRUE(loadXmlText(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\u00e9\u20ac</a>", document));
  std::u16string text;
  EXPECT_TRUE(firstXPathText(document, u"/a", text));
  EXPECT_EQ(text, u"\u00e9\u20ac");

  for (const char16_t* bad : {u"", u"<a><b></a>", u"<a/><b/>", u"text<a/>", u"<a", u"   "}) {
    document = std::make_shared<XmlDocument>();
    EXPECT_FALSE(loadXmlText(bad, document)) << std::u16string(bad).size();
    EXPECT_EQ(document, nullptr);
  }
}

TEST(XmlDocument, Utf8TextEndsAtTheFirstZeroByte) {
  XmlDocumentPtr document;
  EXPECT_TRUE(loadXmlUtf8(std::string("<a>Gr\xC3\xBC\xC3\x9F" "e</a>\0<b>", 17), document));
  std::u16string text;
  EXPECT_TRUE(firstXPathText(document, u"/a", text));
  EXPECT_EQ(text, u"Grüße");
  // Without the zero byte, the trailing element makes it malformed.
  EXPECT_FALSE(loadXmlUtf8(std::string("<a>x</a><b>", 11), document));
  EXPECT_FALSE(loadXmlUtf8(std::string("\0<a/>", 5), document));
}

TEST(XmlDocument, FilesLoadInTheirOwnEncodingAndMissingOnesFail) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "fennick-xml-test";
  std::filesystem::create_directories(folder);
  std::filesystem::path utf16 = folder / "utf16.xml";
  {
    // UTF-16LE with a byte-order mark.
    std::u16string text = u"\uFEFF<win64><Common>C:\\Program Files\\Common Files</Common></win64>";
    std::ofstream out(utf16, std::ios::binary);
    for (char16_t unit : text)
      out.put(char(unit & 0xFF)).put(char(unit >> 8));
  }
  std::filesystem::path latin1 = folder / "latin1.xml";
  std::ofstream(latin1, std::ios::binary) << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xE9</a>";

  XmlDocumentPtr document;
  std::u16string text;
  ASSERT_TRUE(loadXmlFile(platform::toWindowsPath(utf16.string()), document));
  EXPECT_TRUE(firstXPathText(document, u"//win64/Common", text));
  EXPECT_EQ(text, u"C:\\Program Files\\Common Files");
  ASSERT_TRUE(loadXmlFile(platform::toWindowsPath(latin1.string()), document));
  EXPECT_TRUE(firstXPathText(document, u"/a", text));
  EXPECT_EQ(text, u"caf\u00e9");

  EXPECT_FALSE(loadXmlFile(platform::toWindowsPath((folder / "missing.xml").string()), document));
  EXPECT_EQ(document, nullptr);
  EXPECT_FALSE(loadXmlFile(platform::toWindowsPath(folder.string()), document));
  std::filesystem::remove_all(folder);
}

TEST(XmlDocument, SelectionsComeInDocumentOrderAndMissesLeaveNoList) {
  XmlDocumentPtr document = load(kConfig);
  std::optional<XmlNodeList> list;
  long count = 0;
  ASSERT_TRUE(selectXPath(document, u"/ScanConfig/Validators/Validator", list, count));
  EXPECT_EQ(count, 2);
  ASSERT_TRUE(selectXPath(document, u"/ScanConfig/Products/*", list, count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(nodeName(*elementAt(list, 0)), u"SimpleProduct");
  EXPECT_EQ(nodeName(*elementAt(list, 1)), u"MSIProduct");
  EXPECT_FALSE(elementAt(list, 2));
  EXPECT_FALSE(elementAt(list, -1));

  count = 7;
  EXPECT_FALSE(selectXPath(document, u"/ScanConfig/Nothing", list, count));
  EXPECT_FALSE(list);
  EXPECT_EQ(count, 7);
  EXPECT_FALSE(elementAt(list, 0));
  // An invalid expression, or one that is no node set, is a miss too.
  EXPECT_FALSE(selectXPath(document, u"/ScanConfig[", list, count));
  EXPECT_FALSE(hasXPathMatch(document, u"count(//Validator)"));
  EXPECT_FALSE(hasXPathMatch(XmlNode(), u"/ScanConfig"));
  EXPECT_EQ(count, 7);
}

TEST(XmlDocument, FirstTextTakesTheFirstMatchWithPredicatesAndDescendants) {
  XmlDocumentPtr document = load(kConfig);
  std::u16string text = u"unchanged";
  ASSERT_TRUE(firstXPathText(
      document, u"/ScanConfig/PayloadInfo/InstallerProperties/Property[@name='ProductName']", text));
  EXPECT_EQ(text, u"Orvia Sketch & Co");
  EXPECT_FALSE(firstXPathText(document, u"//Property[@name='Missing']", text));
  EXPECT_EQ(text, u"Orvia Sketch & Co");
  ASSERT_TRUE(firstXPathText(document, u"//Property/@name", text));
  EXPECT_EQ(text, u"Other");

  XmlDocumentPtr tokens = load(u"<win64><Common>C:\\Program Files\\Common Files</Common><UserHome/></win64>");
  EXPECT_TRUE(firstXPathText(tokens, u"//win64/Common", text));
  EXPECT_EQ(text, u"C:\\Program Files\\Common Files");
  EXPECT_TRUE(firstXPathText(tokens, u"//win64/UserHome", text));
  EXPECT_EQ(text, u"");
  EXPECT_FALSE(firstXPathText(tokens, u"//win64/Utilities", text));
}

TEST(XmlDocument, ChildNodesKeepCommentsAndTextButDropBlankSpace) {
  XmlDocumentPtr document = load(kConfig);
  std::optional<XmlNodeList> validators;
  long count = 0;
  ASSERT_TRUE(selectXPath(document, u"//Validator", validators, count));

  XmlNodeList children = childNodes(*elementAt(validators, 0));
  ASSERT_EQ(children.length(), 4); // comment, processing instruction, Type, FileTypes
  EXPECT_FALSE(elementAt(children, 0));
  EXPECT_FALSE(elementAt(children, 1));
  EXPECT_EQ(nodeName(*elementAt(children, 2)), u"Type");
  EXPECT_EQ(nodeText(*elementAt(children, 2)), u"PE");
  XmlNodeList extensions = childNodes(*elementAt(children, 3));
  ASSERT_EQ(extensions.length(), 2);
  EXPECT_EQ(nodeText(*elementAt(extensions, 1)), u".DLL");
  EXPECT_EQ(nodeText(*elementAt(children, 3)), u"exe .DLL");

  XmlNodeList second = childNodes(*elementAt(validators, 1));
  ASSERT_EQ(second.length(), 2);
  EXPECT_FALSE(elementAt(second, 0)); // the non-blank text "stray "
  EXPECT_EQ(nodeText(*elementAt(validators, 1)), u"stray JAR");
}

TEST(XmlDocument, NodesKeepTheirDocumentAlive) {
  std::optional<XmlElement> element;
  {
    XmlDocumentPtr document = load(u"<a><b>kept</b></a>");
    std::optional<XmlNodeList> list;
    long count = 0;
    ASSERT_TRUE(selectXPath(document, u"/a/b", list, count));
    element = elementAt(list, 0);
  }
  ASSERT_TRUE(element);
  EXPECT_EQ(nodeText(*element), u"kept");
  EXPECT_EQ(childNodes(*element).length(), 1);
}
