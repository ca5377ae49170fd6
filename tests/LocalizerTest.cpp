// Which dictionary and agreement page a user gets, from the POSIX locale to
// the chosen row of the locale table, and texts for unknown keys.
#include "l10n/Localizer.h"

#include "LocaleEnvironment.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Choice {
  std::u16string code;
  std::int32_t dictionaryId;
  std::int32_t agreementPageId;
};

// What a user with these UI and default locales gets.
Choice choiceFor(const char* uiLocale, const char* defaultLocale) {
  LocaleEnvironment environment;
  environment.languages(uiLocale, defaultLocale);
  Localizer localizer;
  const std::u16string code = localizer.userLocaleCode();
  localizer.loadLocaleDictionary(u"");
  const LocaleEntry* entry = localizer.chosenEntry();
  if (!entry)
    return {code, 0, 0};
  return {code, entry->dictionaryId, entry->agreementPageId};
}

void expectChoice(const char* ui, const char* standard, std::u16string code,
                  std::int32_t dictionaryId, std::int32_t agreementPageId) {
  const Choice choice = choiceFor(ui, standard);
  EXPECT_EQ(choice.code, code) << ui << " / " << standard;
  EXPECT_EQ(choice.dictionaryId, dictionaryId) << ui << " / " << standard;
  EXPECT_EQ(choice.agreementPageId, agreementPageId) << ui << " / " << standard;
}

} // namespace

TEST(Localizer, EnglishVariants) {
  expectChoice("en_GB.UTF-8", "en_GB.UTF-8", u"en_GB", 258, 202);
  expectChoice("en_AU.UTF-8", "en_AU.UTF-8", u"en_US", 251, 201);
  expectChoice("en_US.UTF-8", "en_GB.UTF-8", u"en_GB", 258, 202); // same language: default's sublanguage
}

TEST(Localizer, ArabicSublanguageComesFromTheDefaultLanguageOnlyWhenItIsArabic) {
  expectChoice("ar_SA.UTF-8", "ar_MA.UTF-8", u"fr_MA", 266, 207);
  expectChoice("ar_EG.UTF-8", "ar_DZ.UTF-8", u"fr_MA", 266, 207);
  expectChoice("ar_MA.UTF-8", "fr_FR.UTF-8", u"fr_MA", 266, 207);  // UI's own sublanguage 6
  expectChoice("ar_SA.UTF-8", "fr_LU.UTF-8", u"en_AE", 257, 203);  // not fr_LU's sublanguage 5
  expectChoice("ar_TN.UTF-8", "ar_EG.UTF-8", u"en_AE", 257, 203);
}

TEST(Localizer, ChineseAndPortugueseAndOtherRows) {
  expectChoice("zh_HK.UTF-8", "zh_HK.UTF-8", u"zh_TW", 282, 227);
  expectChoice("zh_SG.UTF-8", "zh_SG.UTF-8", u"zh_CN", 281, 226);
  expectChoice("zh_CN.UTF-8", "en_US.UTF-8", u"zh_CN", 281, 226);
  expectChoice("pt_PT.UTF-8", "pt_PT.UTF-8", u"pt_BR", 274, 221);
  expectChoice("sk_SK.UTF-8", "sk_SK.UTF-8", u"sk_SK", 276, 201);
  expectChoice("es_MX.UTF-8", "es_MX.UTF-8", u"es_MX", 262, 212);
  expectChoice("es_AR.UTF-8", "es_AR.UTF-8", u"es_ES", 260, 211);
  expectChoice("fr_CA.UTF-8", "fr_CA.UTF-8", u"fr_CA", 265, 205);
  expectChoice("fr_BE.UTF-8", "fr_BE.UTF-8", u"fr_FR", 252, 206);
  expectChoice("de_AT.UTF-8", "de_AT.UTF-8", u"de_DE", 253, 210);
  expectChoice("he_IL.UTF-8", "he_IL.UTF-8", u"en_IL", 259, 204);
  expectChoice("nn_NO.UTF-8", "nn_NO.UTF-8", u"nb_NO", 271, 218);
  expectChoice("sl_SI.UTF-8", "sl_SI.UTF-8", u"sl_SI", 277, 201);
  expectChoice("uk_UA.UTF-8", "ru_RU.UTF-8", u"uk_UA", 280, 225);
}

TEST(Localizer, LanguagesWithoutARowGetEnglishUnitedStates) {
  expectChoice("el_GR.UTF-8", "el_GR.UTF-8", u"el_GR", 251, 201);
  expectChoice("bg_BG.UTF-8", "bg_BG.UTF-8", u"bg_BG", 251, 201);
  expectChoice("ro_RO.UTF-8", "ro_RO.UTF-8", u"ro_RO", 251, 201);
  expectChoice("hr_HR.UTF-8", "hr_HR.UTF-8", u"hr_HR", 251, 201);
  expectChoice("sr_RS@latin", "sr_RS@latin", u"hr_HR", 251, 201);
  expectChoice("lt_LT.UTF-8", "lt_LT.UTF-8", u"lt_LT", 251, 201);
  expectChoice("ca_ES.UTF-8", "ca_ES.UTF-8", u"en_US", 251, 201);
  expectChoice("th_TH.UTF-8", "th_TH.UTF-8", u"en_US", 251, 201);
  expectChoice("C", "POSIX", u"en_US", 251, 201);
  expectChoice("xx_YY.UTF-8", "de_DE.UTF-8", u"en_US", 251, 201);
}

TEST(Localizer, SublanguageRulesByLangId) {
  EXPECT_EQ(localeCodeForLanguages(0x1401, 0x1401), u"fr_MA"); // Algeria
  EXPECT_EQ(localeCodeForLanguages(0x1C01, 0x1C01), u"fr_MA"); // Tunisia
  EXPECT_EQ(localeCodeForLanguages(0x1001, 0x1001), u"en_AE"); // Libya
  EXPECT_EQ(localeCodeForLanguages(0x2001, 0x2001), u"en_AE"); // Oman
  EXPECT_EQ(localeCodeForLanguages(0x0404, 0x1004), u"zh_CN");
  EXPECT_EQ(localeCodeForLanguages(0x0804, 0x0404), u"zh_TW");
  EXPECT_EQ(localeCodeForLanguages(0x0809, 0x040C), u"en_GB");
  EXPECT_EQ(localeCodeForLanguages(0x080A, 0x0C0A), u"es_ES");
  EXPECT_EQ(localeCodeForLanguages(0x0C0C, 0x0C09), u"fr_CA");
  EXPECT_EQ(localeCodeForLanguages(0x0000, 0x0000), u"en_US");
  EXPECT_EQ(localeCodeForLanguages(0xFFFF, 0xFFFF), u"en_US");
}

TEST(Localizer, ExplicitCodesChooseTheirRowAndUnknownCodesFallBack) {
  LocaleEnvironment environment;
  Localizer localizer;
  EXPECT_EQ(localizer.chosenEntry(), nullptr);
  EXPECT_EQ(localizer.table().size(), 32u);

  EXPECT_TRUE(localizer.loadLocaleDictionary(u"fr_XM"));
  EXPECT_EQ(localizer.chosenEntry()->dictionaryId, 267);
  EXPECT_EQ(localizer.chosenEntry()->agreementPageId, 201);

  EXPECT_TRUE(localizer.loadLocaleDictionary(u"xx_XX"));
  EXPECT_EQ(localizer.chosenEntry()->dictionaryId, 251);
  EXPECT_EQ(localizer.table().size(), 33u);
  EXPECT_EQ(localizer.table().at(u"xx_XX"), nullptr);
}

TEST(Localizer, UnknownKeyGivesEmptyText) {
  LocaleEnvironment environment;
  Localizer localizer;
  EXPECT_EQ(localizer.lookupUIString("scanScreenTitle"), u""); // no entry chosen yet
  localizer.loadLocaleDictionary(u"");
  EXPECT_EQ(localizer.lookupUIString("noSuchKeyAnywhere"), u"");
  EXPECT_EQ(localizer.lookupUIString(""), u"");
}
