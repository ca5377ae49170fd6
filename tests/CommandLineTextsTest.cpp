// The command-line tools' summary and progress lines in the user's
// language, with counts written as that language writes numbers.
#include "l10n/CommandLineTexts.h"
#include "l10n/NumberText.h"

#include "LocaleEnvironment.h"

#include <gtest/gtest.h>

TEST(CommandLineTexts, SummaryAndProgressInEnglish) {
  const CommandLineTexts texts(u"en_US");
  EXPECT_EQ(texts.localeCode(), u"en_US");
  EXPECT_EQ(texts.summary({1180, 3, 20, 1}),
            u"1,204 files: 1,180 verified, 3 affected, 20 unsigned, 1 failed");
  EXPECT_EQ(texts.summary({0, 1, 0, 0}), u"1 file: 0 verified, 1 affected, 0 unsigned, 0 failed");
  EXPECT_EQ(texts.summary({}), u"0 files: 0 verified, 0 affected, 0 unsigned, 0 failed");
  EXPECT_EQ(texts.progress(12, 40), u"Files checked: 12 of 40");
}

TEST(CommandLineTexts, SummaryAndProgressInGerman) {
  const CommandLineTexts texts(u"de_DE");
  EXPECT_EQ(texts.summary({1180, 3, 20, 1}),
            u"1.204 Dateien: 1.180 verifiziert, 3 betroffen, 20 nicht signiert, 1 fehlgeschlagen");
  EXPECT_EQ(texts.summary({1, 0, 0, 0}),
            u"1 Datei: 1 verifiziert, 0 betroffen, 0 nicht signiert, 0 fehlgeschlagen");
  EXPECT_EQ(texts.progress(2500, 100000), u"Geprüfte Dateien: 2.500 von 100.000");
}

TEST(CommandLineTexts, TheUsersLanguageChoosesAndOthersFallBackToEnglish) {
  LocaleEnvironment environment;
  environment.languages("de_AT.UTF-8", "de_AT.UTF-8");
  EXPECT_EQ(CommandLineTexts().localeCode(), u"de_DE");
  EXPECT_EQ(CommandLineTexts().progress(1, 2), u"Geprüfte Dateien: 1 von 2");
  EXPECT_EQ(CommandLineTexts(u"el_GR").progress(1, 2), u"Files checked: 1 of 2");
  EXPECT_EQ(CommandLineTexts(u"el_GR").localeCode(), u"en_US");
  EXPECT_EQ(CommandLineTexts(u"fr_CA").summary({1000, 0, 0, 0}),
            u"Fichiers : 1\u00A0000 (vérifiés : 1\u00A0000, concernés : 0, non signés : 0, "
            u"en échec : 0)");
}

TEST(NumberText, GroupsOfThreeWithTheLanguagesSeparator) {
  EXPECT_EQ(groupedNumber(0, u"en_US"), u"0");
  EXPECT_EQ(groupedNumber(999, u"en_US"), u"999");
  EXPECT_EQ(groupedNumber(1000, u"en_GB"), u"1,000");
  EXPECT_EQ(groupedNumber(1234567, u"ja_JP"), u"1,234,567");
  EXPECT_EQ(groupedNumber(1234567, u"de_DE"), u"1.234.567");
  EXPECT_EQ(groupedNumber(100000, u"pt_BR"), u"100.000");
  EXPECT_EQ(groupedNumber(1234567, u"fr_FR"), u"1\u00A0234\u00A0567");
  EXPECT_EQ(groupedNumber(12345, u"ru_RU"), u"12\u00A0345");
  EXPECT_EQ(groupedNumber(5000, u"hu_HU"), u"5\u00A0000");
  EXPECT_EQ(groupedNumber(18446744073709551615ull, u"en_US"), u"18,446,744,073,709,551,615");
}
