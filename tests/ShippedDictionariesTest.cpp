// The dictionaries the executable carries: each one's layout, and that each
// answers every UI key with a text of its own language through the same path
// the application uses.
#include "l10n/Localizer.h"
#include "l10n/StringDictionary.h"
#include "platform/Resources.h"
#include "util/Text.h"

#include "LocaleEnvironment.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// The keys every dictionary defines, in their order.
const std::vector<std::string> kUiKeys = {
    "eulaScreenTitle", "scanScreenTitle", "progressScreenTitle", "resultsScreenTitle",
    "eulaScreenDeclineBtn", "eulaScreenAcceptBtn", "scanScreenScanBtn",
    "resultsScreenQuitBtn", "resultsScreenRescanBtn", "moreInfoLinkTxt", "feedbackLinkTxt",
    "scanScreenPara1", "scanScreenPara2", "scanScreenPara3", "progressText",
    "confirmationDialogTxt", "signatureOkTxt", "signatureInvalidTxt", "getUpdateLinkTxt",
    "affectedProductsRow", "notAffectedProductRow", "noProductsRow", "moreInfoLink",
    "feedbackLink"};

const std::set<std::u16string> kEnglishLocales = {u"en_US", u"en_AE", u"en_GB", u"en_IL"};

std::string narrow(const std::u16string& text) {
  std::string out;
  wideToUtf8(text, out);
  return out;
}

// Every text of the dictionary a Localizer loads for the code.
std::map<std::string, std::u16string> textsFor(const std::u16string& code) {
  Localizer localizer;
  localizer.loadLocaleDictionary(code);
  std::map<std::string, std::u16string> texts;
  for (const std::string& key : kUiKeys)
    texts[key] = localizer.lookupUIString(key);
  return texts;
}

std::vector<std::u16string> localeCodes() {
  const Localizer localizer;
  std::vector<std::u16string> codes;
  for (const auto& [code, entry] : localizer.table())
    codes.push_back(code);
  return codes;
}

// The lines of a dictionary resource, each without its line end; none when
// it is no UTF-16 text with its byte-order mark.
std::vector<std::u16string> dictionaryLines(std::uint32_t id) {
  const auto bytes = platform::findResource(platform::kResourceDictionary, id);
  std::vector<std::u16string> lines;
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE || bytes.size() % 2)
    return lines;
  std::u16string text;
  for (std::size_t pos = 2; pos + 1 < bytes.size(); pos += 2)
    text.push_back(static_cast<char16_t>(bytes[pos] | (bytes[pos + 1] << 8)));
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(u"\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::u16string::npos)
      break;
    start = end + 2;
  }
  return lines;
}

bool containsUnitIn(const std::u16string& text, char16_t first, char16_t last) {
  for (char16_t unit : text) {
    if (unit >= first && unit <= last)
      return true;
  }
  return false;
}

} // namespace

TEST(ShippedDictionaries, EachIsUtf16WithOneQuotedLinePerKeyInOrder) {
  for (std::uint32_t id = 251; id <= 282; ++id) {
    const auto bytes = platform::findResource(platform::kResourceDictionary, id);
    ASSERT_GE(bytes.size(), 2u) << id;
    ASSERT_EQ(bytes.size() % 2, 0u) << id;
    EXPECT_EQ(bytes[0], 0xFF) << id;
    EXPECT_EQ(bytes[1], 0xFE) << id;
    const std::vector<std::u16string> lines = dictionaryLines(id);
    ASSERT_EQ(lines.size(), kUiKeys.size()) << id;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string key = kUiKeys[i];
      const std::u16string prefix = u"\"$$$/ZFNK/" + std::u16string(key.begin(), key.end()) + u"=";
      EXPECT_EQ(lines[i].substr(0, prefix.size()), prefix) << id << " line " << i;
      EXPECT_EQ(lines[i].back(), u'"') << id << " line " << i;
      EXPECT_EQ(lines[i].find_first_of(std::u16string(u"\r\n\0", 3)), std::u16string::npos) << id;
    }
  }
}

TEST(ShippedDictionaries, EveryLocaleAnswersEveryKey) {
  const auto codes = localeCodes();
  ASSERT_EQ(codes.size(), 32u);
  for (const std::u16string& code : codes) {
    for (const auto& [key, text] : textsFor(code)) {
      EXPECT_FALSE(text.empty()) << narrow(code) << " " << key;
      if (key == "moreInfoLink" || key == "feedbackLink") {
        EXPECT_EQ(text.rfind(u"https://", 0), 0u) << narrow(code) << " " << key;
      }
    }
  }
}

TEST(ShippedDictionaries, EnglishUnitedStatesTexts) {
  auto texts = textsFor(u"en_US");
  const std::map<std::string, std::u16string> expected = {
      {"eulaScreenTitle", u"Orvia Software License Agreement"},
      {"scanScreenTitle", u"Welcome"},
      {"progressScreenTitle", u"Progress"},
      {"resultsScreenTitle", u"Results"},
      {"eulaScreenDeclineBtn", u"Decline"},
      {"eulaScreenAcceptBtn", u"Accept and Continue"},
      {"scanScreenScanBtn", u"Start"},
      {"resultsScreenQuitBtn", u"Quit"},
      {"resultsScreenRescanBtn", u"Rescan"},
      {"moreInfoLinkTxt", u"More Info"},
      {"feedbackLinkTxt", u"Provide feedback to Orvia"},
      {"scanScreenPara1", u"The Orvia Fennick is designed to ensure that you have the most "
                          u"current digital signature for all of your Orvia applications and "
                          u"runtimes."},
      {"scanScreenPara2", u"If any of your applications or runtimes do not have the most "
                          u"updated digital signature, it will provide links to the available "
                          u"updates."},
      {"scanScreenPara3", u"This scan may take a few minutes."},
      {"progressText", u"Scanning Orvia Runtimes & Applications..."},
      {"confirmationDialogTxt", u"Are you sure you want to quit?"},
      {"signatureOkTxt", u"Digital signature is up to date. No action required for this product."},
      {"getUpdateLinkTxt", u"Get Update"},
      {"affectedProductsRow", u"Affected Products"},
      {"notAffectedProductRow", u"Products Not Affected"},
      {"noProductsRow", u"No Orvia products found."},
  };
  for (const auto& [key, text] : expected)
    EXPECT_EQ(texts[key], text) << key;
  const std::u16string invalid = texts["signatureInvalidTxt"];
  const std::u16string lead = u"Digital signature needs updating. Please download update from ";
  EXPECT_EQ(invalid.substr(0, lead.size()), lead);
  EXPECT_GT(invalid.size(), lead.size() + 1);
  EXPECT_EQ(invalid.back(), u'.');
}

TEST(ShippedDictionaries, TranslatedTitlesDifferFromEnglish) {
  const auto english = textsFor(u"en_US");
  for (const std::u16string& code : localeCodes()) {
    if (kEnglishLocales.count(code))
      continue;
    auto texts = textsFor(code);
    for (const char* key : {"eulaScreenTitle", "scanScreenTitle", "confirmationDialogTxt",
                            "scanScreenPara3", "noProductsRow"})
      EXPECT_NE(texts[key], english.at(key)) << narrow(code) << " " << key;
  }
  EXPECT_EQ(textsFor(u"de_DE")["scanScreenTitle"], u"Willkommen");
}

TEST(ShippedDictionaries, NonLatinLanguagesUseTheirScript) {
  const std::map<std::u16string, std::pair<char16_t, char16_t>> scripts = {
      {u"ja_JP", {0x3040, 0x30FF}}, // kana
      {u"ko_KR", {0xAC00, 0xD7A3}}, // Hangul syllables
      {u"ru_RU", {0x0400, 0x04FF}}, // Cyrillic
      {u"uk_UA", {0x0400, 0x04FF}},
      {u"zh_CN", {0x4E00, 0x9FFF}}, // CJK ideographs
      {u"zh_TW", {0x4E00, 0x9FFF}},
  };
  for (const auto& [code, range] : scripts) {
    auto texts = textsFor(code);
    for (const char* key : {"scanScreenTitle", "confirmationDialogTxt", "scanScreenPara1"})
      EXPECT_TRUE(containsUnitIn(texts[key], range.first, range.second))
          << narrow(code) << " " << key;
  }
  EXPECT_NE(textsFor(u"uk_UA")["scanScreenPara1"], textsFor(u"ru_RU")["scanScreenPara1"]);
  EXPECT_NE(textsFor(u"zh_CN")["scanScreenPara1"], textsFor(u"zh_TW")["scanScreenPara1"]);
}

TEST(ShippedDictionaries, LoadingThroughTheAnsiRoundTripLosesNothing) {
  // The application hands the dictionary over as 8-bit text; reading the
  // UTF-16 resource directly must give the very same texts.
  for (const std::u16string& code : localeCodes()) {
    Localizer localizer;
    localizer.loadLocaleDictionary(code);
    const auto bytes = platform::findResource(platform::kResourceDictionary,
                                              localizer.chosenEntry()->dictionaryId);
    dravik::DictionaryHandle direct = dravik::createDictionary();
    dravik::loadDictionary(*direct, bytes.data(), bytes.size(), 1);
    for (const std::string& key : kUiKeys) {
      const std::string lookup = "$$$/ZFNK/" + key;
      EXPECT_EQ(localizer.lookupUIString(key),
                dravik::lookupString(*direct, lookup.c_str()).text())
          << narrow(code) << " " << key;
    }
  }
}

TEST(ShippedDictionaries, TheUsersLocaleSelectsItsDictionary) {
  LocaleEnvironment environment;
  environment.languages("de_AT.UTF-8", "de_AT.UTF-8");
  Localizer localizer;
  localizer.loadLocaleDictionary(u"");
  EXPECT_EQ(localizer.chosenEntry()->dictionaryId, 253);
  EXPECT_EQ(localizer.lookupUIString("scanScreenTitle"), u"Willkommen");
  EXPECT_EQ(localizer.lookupUIString("noSuchKey"), u"");
}

namespace {

// The keys of the command-line tools' dictionaries, in their order.
const std::vector<std::string> kCommandLineKeys = {"cliSummary", "cliSummaryOneFile",
                                                   "cliProgress"};

std::map<std::string, std::u16string> commandLineTextsFor(const std::u16string& code) {
  Localizer localizer;
  localizer.loadLocaleDictionary(code);
  localizer.loadCommandLineDictionary();
  std::map<std::string, std::u16string> texts;
  for (const std::string& key : kCommandLineKeys)
    texts[key] = localizer.lookupUIString(key);
  return texts;
}

} // namespace

TEST(ShippedDictionaries, EveryPageDictionaryHasACommandLineDictionaryOfTheSameLayout) {
  for (std::uint32_t id = 251; id <= 282; ++id) {
    const std::vector<std::u16string> lines =
        dictionaryLines(id + Localizer::kCommandLineDictionaryOffset);
    ASSERT_EQ(lines.size(), kCommandLineKeys.size()) << id;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string& key = kCommandLineKeys[i];
      const std::u16string prefix = u"\"$$$/ZFNK/" + std::u16string(key.begin(), key.end()) + u"=";
      EXPECT_EQ(lines[i].substr(0, prefix.size()), prefix) << id << " line " << i;
      EXPECT_EQ(lines[i].back(), u'"') << id << " line " << i;
      // Texts that the reader would change: escapes and quotes.
      EXPECT_EQ(lines[i].find_first_of(u"\\^'", prefix.size()), std::u16string::npos) << id;
      EXPECT_EQ(lines[i].find(u'"', prefix.size()), lines[i].size() - 1) << id;
    }
  }
}

TEST(ShippedDictionaries, CommandLineTextsInEveryLanguageCarryEveryCount) {
  const auto english = commandLineTextsFor(u"en_US");
  for (const std::u16string& code : localeCodes()) {
    auto texts = commandLineTextsFor(code);
    for (const char* key : {"cliSummary", "cliSummaryOneFile"}) {
      for (const char16_t* placeholder : {u"%1", u"%2", u"%3", u"%4", u"%5"})
        EXPECT_NE(texts[key].find(placeholder), std::u16string::npos)
            << narrow(code) << " " << key << " " << narrow(placeholder);
    }
    EXPECT_NE(texts["cliProgress"].find(u"%1"), std::u16string::npos) << narrow(code);
    EXPECT_NE(texts["cliProgress"].find(u"%2"), std::u16string::npos) << narrow(code);
    if (!kEnglishLocales.count(code)) {
      EXPECT_NE(texts["cliSummary"], english.at("cliSummary")) << narrow(code);
      EXPECT_NE(texts["cliProgress"], english.at("cliProgress")) << narrow(code);
    }
  }
  // The page's texts are still there beside them.
  Localizer localizer;
  localizer.loadLocaleDictionary(u"de_DE");
  localizer.loadCommandLineDictionary();
  EXPECT_EQ(localizer.lookupUIString("scanScreenTitle"), u"Willkommen");
}
