// The agreement pages the executable carries: present, well-formed, UTF-8,
// and declaring the language of the locales that show them.
#include "l10n/Localizer.h"
#include "platform/Resources.h"
#include "util/Text.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <map>
#include <string>

namespace {

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 0x20);
  }
  return text;
}

// The language each page must declare: that of the locale showing it. Page
// 201 serves several locales and is the English one.
std::map<std::int32_t, std::string> expectedLanguages() {
  const Localizer localizer;
  std::map<std::int32_t, std::string> languages = {{201, "en"}};
  for (const auto& [code, entry] : localizer.table()) {
    if (entry->agreementPageId == 201)
      continue;
    const std::u16string language = code.substr(0, code.find(u'_'));
    languages[entry->agreementPageId] = std::string(language.begin(), language.end());
  }
  return languages;
}

bool declaresUtf8(const pugi::xml_document& document) {
  for (const pugi::xpath_node& node : document.select_nodes("/html/head/meta")) {
    const pugi::xml_node meta = node.node();
    if (lowerAscii(meta.attribute("charset").value()) == "utf-8")
      return true;
    if (lowerAscii(meta.attribute("http-equiv").value()) == "content-type" &&
        lowerAscii(meta.attribute("content").value()).find("charset=utf-8") != std::string::npos)
      return true;
  }
  return false;
}

} // namespace

TEST(AgreementPages, EveryPageIsWellFormedUtf8AndDeclaresItsLanguage) {
  const auto languages = expectedLanguages();
  ASSERT_EQ(languages.size(), 27u);
  for (std::uint32_t id = 201; id <= 227; ++id) {
    SCOPED_TRACE("page " + std::to_string(id));
    const auto bytes = platform::findResource(platform::kResourceHtml, id);
    ASSERT_FALSE(bytes.empty());

    const std::string text(bytes.begin(), bytes.end());
    std::u16string wide;
    ASSERT_TRUE(utf8ToWide(text, wide));
    EXPECT_EQ(wide.find(u'\uFFFD'), std::u16string::npos) << "not valid UTF-8";

    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_doctype,
                             pugi::encoding_utf8);
    ASSERT_TRUE(parsed) << parsed.description() << " at offset " << parsed.offset;

    const pugi::xml_node html = document.document_element();
    EXPECT_STREQ(html.name(), "html");
    const std::string lang = lowerAscii(html.attribute("lang").value());
    EXPECT_EQ(lang.substr(0, lang.find('-')), languages.at(static_cast<std::int32_t>(id)));
    EXPECT_TRUE(declaresUtf8(document));
    EXPECT_FALSE(html.child("body").empty());
  }
}
