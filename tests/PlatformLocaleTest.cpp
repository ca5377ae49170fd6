// POSIX locale names to Windows language identifiers, and which variables
// decide the UI language and the default language.
#include "platform/Locale.h"

#include "LocaleEnvironment.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using platform::langIdFromLocaleName;

TEST(PlatformLocale, LocaleNamesMapToTheirLangIds) {
  const std::map<std::string, std::uint16_t> cases = {
      {"de_AT.UTF-8", 0x0C07}, {"en_GB.UTF-8", 0x0809}, {"en_AU", 0x0C09},
      {"en_US.UTF-8", 0x0409}, {"ar_MA.UTF-8", 0x1801}, {"ar_DZ", 0x1401},
      {"ar_TN", 0x1C01}, {"ar_SA", 0x0401}, {"ar_EG", 0x0C01},
      {"zh_HK.UTF-8", 0x0C04}, {"zh_SG", 0x1004}, {"zh_CN.GB18030", 0x0804},
      {"zh_TW.Big5", 0x0404}, {"pt_PT", 0x0816}, {"pt_BR", 0x0416},
      {"es_MX", 0x080A}, {"es_ES", 0x0C0A}, {"es_AR", 0x2C0A},
      {"fr_CA", 0x0C0C}, {"fr_FR", 0x040C}, {"fr_BE", 0x080C}, {"fr_CH", 0x100C},
      {"el_GR", 0x0408}, {"sk_SK", 0x041B}, {"ca_ES", 0x0403}, {"th_TH", 0x041E},
      {"bg_BG", 0x0402}, {"ro_RO", 0x0418}, {"hr_HR", 0x041A}, {"sr_RS", 0x281A},
      {"bs_BA", 0x141A}, {"et_EE", 0x0425}, {"lv_LV", 0x0426}, {"lt_LT", 0x0427},
      {"he_IL", 0x040D}, {"nb_NO", 0x0414}, {"uk_UA", 0x0422}, {"sl_SI", 0x0424},
  };
  for (const auto& [name, langId] : cases)
    EXPECT_EQ(langIdFromLocaleName(name), langId) << name;
}

TEST(PlatformLocale, NameFormsAreNormalised) {
  EXPECT_EQ(langIdFromLocaleName("de"), 0x0407);           // bare language
  EXPECT_EQ(langIdFromLocaleName("de.UTF-8"), 0x0407);
  EXPECT_EQ(langIdFromLocaleName("de_XX.UTF-8"), 0x0407);  // country not listed
  EXPECT_EQ(langIdFromLocaleName("de_DE@euro"), 0x0407);   // modifier not listed
  EXPECT_EQ(langIdFromLocaleName("sr_RS@latin"), 0x241A);
  EXPECT_EQ(langIdFromLocaleName("ca_ES.UTF-8@valencia"), 0x0803);
  EXPECT_EQ(langIdFromLocaleName("pt-PT"), 0x0816);
  EXPECT_EQ(langIdFromLocaleName("ZH_hk"), 0x0C04);
  EXPECT_EQ(langIdFromLocaleName("fil_PH"), 0x0464);
}

TEST(PlatformLocale, UnknownNamesAreEnglishUnitedStates) {
  for (const char* name : {"", "C", "POSIX", "C.UTF-8", "eo", "xx_YY", "tlh_QO",
                           "d", "deutsch", "12_34", "_DE", "..@@", "de\xC3\xA4_AT"})
    EXPECT_EQ(langIdFromLocaleName(name), platform::kLangIdEnglishUnitedStates) << name;
}

TEST(PlatformLocale, UiLanguagePrefersLanguageThenLcAllThenLcMessagesThenLang) {
  LocaleEnvironment environment;
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0409); // nothing set
  environment.set("LANG", "da_DK.UTF-8");
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0406);
  environment.set("LC_CTYPE", "fi_FI.UTF-8"); // not a UI variable
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0406);
  environment.set("LC_MESSAGES", "it_IT.UTF-8");
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0410);
  environment.set("LC_ALL", "ko_KR.UTF-8");
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0412);
  environment.set("LANGUAGE", "fr_CA:de_DE");
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0C0C);
  environment.set("LANGUAGE", ":de_DE"); // an empty first entry counts as unset
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0412);
  environment.set("LC_ALL", "");
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0410);
}

TEST(PlatformLocale, LanguageIsIgnoredUnderTheCLocale) {
  LocaleEnvironment environment;
  environment.set("LANGUAGE", "de_DE");
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0409); // no locale: C
  for (const char* plain : {"C", "POSIX", "C.UTF-8"}) {
    environment.set("LANG", plain);
    EXPECT_EQ(platform::userDefaultUILanguage(), 0x0409) << plain;
  }
  environment.set("LC_MESSAGES", "fr_FR.UTF-8"); // a real messages locale
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0407);
  environment.set("LC_ALL", "C"); // overrides LC_MESSAGES
  EXPECT_EQ(platform::userDefaultUILanguage(), 0x0409);
}

TEST(PlatformLocale, DefaultLanguagePrefersLcAllThenLcCtypeThenLang) {
  LocaleEnvironment environment;
  EXPECT_EQ(platform::userDefaultLangId(), 0x0409);
  environment.set("LANG", "da_DK.UTF-8").set("LANGUAGE", "ja_JP").set("LC_MESSAGES", "it_IT");
  EXPECT_EQ(platform::userDefaultLangId(), 0x0406);
  environment.set("LC_CTYPE", "fi_FI.UTF-8");
  EXPECT_EQ(platform::userDefaultLangId(), 0x040B);
  environment.set("LC_ALL", "C");
  EXPECT_EQ(platform::userDefaultLangId(), 0x0409);
}
