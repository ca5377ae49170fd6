// The window's addresses: what the page asks the host for, and how the host
// rewrites the application's statements so that the page's engine accepts
// their addresses.
#include "app/PageAddress.h"

#include <gtest/gtest.h>

namespace {

// The statement the controller sends for an executable at the given path:
// setApplicationPath('res://<path>/'); with every backslash doubled.
std::u16string applicationPathStatement(const std::u16string& executable) {
  std::u16string statement = u"setApplicationPath('res://" + executable + u"/');";
  std::u16string escaped;
  for (char16_t c : statement) {
    escaped.push_back(c);
    if (c == u'\\')
      escaped.push_back(c);
  }
  return escaped;
}

std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// The address between the first pair of apostrophes of a statement.
std::string quotedAddress(const std::u16string& statement) {
  size_t open = statement.find(u'\'');
  size_t close = statement.find(u'\'', open + 1);
  return narrow(statement.substr(open + 1, close - open - 1));
}

} // namespace

TEST(PageAddress, PageResourcesAreFoundByTypeAndFragmentId) {
  auto css = parseResourceAddress("res:/CSS/#161");
  ASSERT_TRUE(css);
  EXPECT_EQ(css->type, "CSS");
  EXPECT_EQ(css->id, 161u);
  EXPECT_TRUE(css->module.empty());

  auto logo = parseResourceAddress("res:/PNG/#135");
  ASSERT_TRUE(logo);
  EXPECT_EQ(logo->type, "PNG");
  EXPECT_EQ(logo->id, 135u);

  auto page = parseResourceAddress("res:/HTML/#151");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->type, "23");
  EXPECT_EQ(page->id, 151u);
  EXPECT_EQ(resourceContentType(page->type), "text/html");
  EXPECT_EQ(resourceContentType(css->type), "text/css");
  EXPECT_EQ(resourceContentType(logo->type), "image/png");
}

TEST(PageAddress, AgreementPagesUnderTheApplicationPathAreHtmlOfThatModule) {
  // The page appends the agreement number to the application path that the
  // host rewrote; the module comes back as the Windows path of the program.
  std::u16string rewritten =
      rewriteStatementAddresses(applicationPathStatement(u"C:\\Tools\\Orvia Fennick\\app.exe"));
  std::string base = quotedAddress(rewritten);
  EXPECT_EQ(base, "res://C%3A%5CTools%5COrvia%20Fennick%5Capp.exe/");

  auto agreement = parseResourceAddress(base + "210");
  ASSERT_TRUE(agreement);
  EXPECT_EQ(agreement->type, "23");
  EXPECT_EQ(agreement->id, 210u);
  EXPECT_EQ(agreement->module, u"C:\\Tools\\Orvia Fennick\\app.exe");

  auto typed = parseResourceAddress(base + "PNG/#138");
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->type, "PNG");
  EXPECT_EQ(typed->id, 138u);
  // Numeric types, plain or as "#23" (here in the fragment form's place).
  auto numericType = parseResourceAddress("res://m/23/201");
  ASSERT_TRUE(numericType);
  EXPECT_EQ(numericType->type, "23");
  EXPECT_EQ(numericType->module, u"m");
  EXPECT_FALSE(parseResourceAddress("res://m/%2323/201")); // only the module is decoded
}

TEST(PageAddress, MalformedResourceAddressesAreRefused) {
  for (const char* uri : {"", "res:", "res:/", "res:/CSS/", "res:/CSS/#", "res:/CSS/#0",
                          "res:/CSS/#65536", "res:/CSS/#16a", "res:/#151", "res:CSS/#161",
                          "res:/a/b/#1", "res://", "res:///201", "res://m/a/b/201",
                          "res://m/201?x", "res://m%zz/201", "res://m%00/201", "res://m%4/201",
                          "res:/C-S/#161", "file:///C:/x", "resx:/CSS/#161"}) {
    EXPECT_FALSE(parseResourceAddress(uri)) << uri;
  }
}

TEST(PageAddress, IconSourcesInTheResultsStatementPointAtTheIconScheme) {
  // Two products: one with an icon file in the scratch folder, one with the
  // generic picture; a display name that mentions file:/// is left alone.
  std::u16string statement =
      u"updateResults(\"<table style='width: 580px'><tr><td><img src='file:///C:\\\\T\\\\{x}\\\\{y}'/> "
      u"Studio file:///C:\\\\notes<img src='res:/PNG/#138'/> Viewer<img src='res:/PNG/#136'/></td></tr></table>\");";
  std::u16string rewritten = rewriteStatementAddresses(statement);
  std::u16string expected =
      u"updateResults(\"<table style='width: 580px'><tr><td><img src='fennick-icon:C%3A%5CT%5C%7Bx%7D%5C%7By%7D'/> "
      u"Studio file:///C:\\\\notes<img src='res:/PNG/#138'/> Viewer<img src='res:/PNG/#136'/></td></tr></table>\");";
  EXPECT_EQ(rewritten, expected);

  auto path = iconPathOfAddress("fennick-icon:C%3A%5CT%5C%7Bx%7D%5C%7By%7D");
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, u"C:\\T\\{x}\\{y}");
}

TEST(PageAddress, AnApostropheInAnIconPathStaysInThePath) {
  // An installer product id such as KELTO-O'NEIL names its icon file; the
  // picture still ends at the table's "'/>".
  std::u16string statement =
      u"updateResults(\"<img src='file:///Z:\\\\tmp\\\\{G}\\\\KELTO-O'NEIL.png'/> O&#39;Neil Fonts\");";
  std::u16string rewritten = rewriteStatementAddresses(statement);
  EXPECT_EQ(rewritten, u"updateResults(\"<img src='fennick-icon:Z%3A%5Ctmp%5C%7BG%7D%5CKELTO-O%27NEIL.png'/> "
                       u"O&#39;Neil Fonts\");");
  auto path = iconPathOfAddress("fennick-icon:Z%3A%5Ctmp%5C%7BG%7D%5CKELTO-O%27NEIL.png");
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, u"Z:\\tmp\\{G}\\KELTO-O'NEIL.png");
}

TEST(PageAddress, StatementsWithoutAddressesStayAsTheyAre) {
  for (const std::u16string& statement :
       {std::u16string(u"setHTMLString('eulaScreenTitle', 'Orvia Software License Agreement')"),
        std::u16string(u"setLink('moreInfoLinkTxt1', 'https://www.orvia.example/fennick/info')"),
        std::u16string(u"setEULASelectedLang('201')"),
        std::u16string(u"setHTMLString('x', 'src=')"),
        std::u16string(u"setHTMLString('x', 'It\\'s src='file:///')"),
        std::u16string(u"setApplicationPath('res://unterminated/")}) {
    EXPECT_EQ(rewriteStatementAddresses(statement), statement);
  }
}

TEST(PageAddress, NonAsciiPathsSurviveTheRoundTrip) {
  std::u16string path = u"C:\\Users\\J\u00fcrgen\\\u65e5\u672c\\{A-1}\\i.png";
  std::string encoded = percentEncode(path);
  EXPECT_EQ(encoded.find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%"),
            std::string::npos);
  auto decoded = percentDecode(encoded);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, path);
  EXPECT_FALSE(percentDecode("%"));
  EXPECT_FALSE(percentDecode("%4"));
  EXPECT_FALSE(percentDecode("%G1"));
  EXPECT_FALSE(percentDecode("a%00b"));
  EXPECT_FALSE(iconPathOfAddress("fennick-icon:"));
  EXPECT_FALSE(iconPathOfAddress("res:/PNG/#138"));
}

TEST(PageAddress, OnlyTheSevenCommandsAreRecognised) {
  for (const char* name : {"getApplicationPath", "getUIStrings", "quitApplication",
                           "quitApplicationWithoutConfirmation", "getScanProgress", "scanSystem",
                           "getSystemScanResult"}) {
    auto command = commandOfAddress(std::string("fennick-cmd:") + name + "?17");
    ASSERT_TRUE(command) << name;
    EXPECT_EQ(*command, name);
  }
  EXPECT_EQ(commandOfAddress("FENNICK-CMD:scanSystem").value_or(""), "scanSystem");
  for (const char* uri : {"fennick-cmd:", "fennick-cmd:scansystem", "fennick-cmd:scanSystemX",
                          "fennick-cmd:/scanSystem", "res:scanSystem", "fennick-cmdscanSystem",
                          "fennick-cmd:toString"}) {
    EXPECT_FALSE(commandOfAddress(uri)) << uri;
  }
}

TEST(PageAddress, TheDialogTemplateIsSixHundredPixelsWide) {
  PixelSize size = dialogUnitsToPixels(400, 300, 6, 13);
  EXPECT_EQ(size.width, 600);
  EXPECT_EQ(size.height, 488); // 487.5 rounds up, as MulDiv does
  PixelSize small = dialogUnitsToPixels(1, 1, 6, 13);
  EXPECT_EQ(small.width, 2);  // 1.5
  EXPECT_EQ(small.height, 2); // 1.625
}
