// The results statement: the affected set, the rows byte for byte, the
// table width rule, the update link choice and escaping of outside text.
#include "finders/PayloadEntry.h"
#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "report/AffectedProducts.h"
#include "report/ResultsPage.h"
#include "session/Defect.h"

#include <gtest/gtest.h>

namespace {

ResultsTexts englishTexts() {
  ResultsTexts texts;
  texts.lookup = [](const char* key) -> std::u16string {
    static const std::map<std::string, std::u16string> dictionary = {
        {"affectedProductsRow", u"Affected Products"},
        {"notAffectedProductRow", u"Products Not Affected"},
        {"noProductsRow", u"No Orvia products found."},
        {"signatureInvalidTxt", u"Needs updating."},
        {"getUpdateLinkTxt", u"Get Update"},
        {"signatureOkTxt", u"Up to date, it\\'s fine."},
        {"moreInfoLink", u"https://www.orvia.example/info"}};
    auto found = dictionary.find(key);
    return found == dictionary.end() ? u"" : found->second;
  };
  return texts;
}

std::u16string T(int n) { return std::u16string(size_t(n), u'\t'); }

ProductRecord installed(const std::u16string& name) {
  ProductRecord product;
  product.displayName = name;
  product.installed = true;
  return product;
}

std::u16string tableWidth(const std::u16string& statement) {
  return statement.substr(statement.find(u"width: ") + 7, 3);
}

} // namespace

TEST(ResultsPage, NoProductsGivesOneHeadingInTheWideTable) {
  std::u16string statement = buildResultsStatement({}, {}, {}, englishTexts());
  std::u16string expected =
      u"updateResults(\"<table style='width: 580px'><tr><td>" + T(7) +
      u"<div style='float: left; font-size: 18px; font-weight: bold;'>" + T(10) +
      u" No Orvia products found." + T(8) + u" </div>" + T(8) +
      u" </td></tr><tr><td><hr></td></tr></table>\");";
  EXPECT_EQ(statement, expected);
}

TEST(ResultsPage, BlocksAreExactPieceByPiece) {
  ProductRecord affected = installed(u"Studio 9");
  affected.iconPath = u"C:\\T\\{x}\\{y}";
  ProductRecord fine = installed(u"Viewer");
  std::map<std::u16string, std::u16string> links = {{u"studio", u"https://studio.example/u"}};
  std::u16string statement =
      buildResultsStatement({&affected}, {&affected, &fine}, links, englishTexts());

  std::u16string img = u"<img style='vertical-align: middle; width: 32px; height: 32px;' src='";
  std::u16string right = u"<div style='float: right; width: 80px;' align='center'>";
  std::u16string rule = u"<tr><td><hr></td></tr>";
  auto heading = [&](const std::u16string& text) {
    return u"<tr><td>" + T(7) + u"<div style='float: left; font-size: 18px; font-weight: bold;'>" +
           T(10) + u" " + text + T(8) + u" </div>" + T(8) + u" </td></tr>" + rule;
  };
  std::u16string affectedBlock =
      u"<tr><td>" + T(7) + u"<div style='float: left; padding-left: 20px;'>" + T(10) + img +
      u"file:///C:\\\\T\\\\{x}\\\\{y}'/> Studio 9" + T(8) + u"</div>" + T(9) + right + T(10) + img +
      u"res:/PNG/#137'/>" + T(7) + u"</div>" + T(6) + u" </td></tr>" + u"<tr><td>" + T(7) +
      u"<div style='float: left; padding-left: 20px; width: 440px;'>" + T(10) +
      u"<label style='font-size: 10px'>Needs updating.</label>" + T(8) + u"</div>" + T(9) + right +
      T(10) + u"<a style='font-size: 10px;' target='_blank' href='https://studio.example/u'>" +
      u"Get Update</a>" + T(8) + u"</div>" + T(8) + u" </td></tr>" + rule;
  std::u16string fineBlock =
      u"<tr><td>" + T(7) + u"<div style='float: left; padding-left: 20px;'>" + T(10) + img +
      u"res:/PNG/#138'/> Viewer" + T(8) + u"</div>" + T(9) + right + T(10) + img +
      u"res:/PNG/#136'/>" + T(7) + u"</div>" + T(6) + u"  </td></tr>" + u"<tr><td>" + T(7) +
      u"<div style='float: left; padding-left: 20px;'>" + T(10) +
      u"<label style='font-size: 10px'>Up to date, it\\'s fine.</label>" + T(8) + u"</div>" + T(8) +
      u" </td></tr>" + rule;
  std::u16string expected = u"updateResults(\"<table style='width: 580px'>" +
                            heading(u"Affected Products") + affectedBlock +
                            heading(u"Products Not Affected") + fineBlock + u"</table>\");";
  EXPECT_EQ(statement, expected);
}

TEST(ResultsPage, HeightEstimateDecidesTheTableWidth) {
  ProductRecord a = installed(u"A"), b = installed(u"B"), c = installed(u"C"), d = installed(u"D");
  ResultsTexts texts = englishTexts();
  EXPECT_EQ(tableWidth(buildResultsStatement({}, {&a, &b, &c}, {}, texts)), u"580"); // 278
  EXPECT_EQ(tableWidth(buildResultsStatement({}, {&a, &b, &c, &d}, {}, texts)), u"560"); // 356
  EXPECT_EQ(tableWidth(buildResultsStatement({&a}, {&a, &b, &c, &d}, {}, texts)), u"560"); // 400
  EXPECT_EQ(tableWidth(buildResultsStatement({&a, &b, &c}, {}, {}, texts)), u"580"); // 278
  texts.tallAffectedRows = true;
  EXPECT_EQ(tableWidth(buildResultsStatement({&a, &b, &c}, {}, {}, texts)), u"560"); // 314
}

TEST(ResultsPage, NotAffectedSectionSkipsAffectedUninstalledExcludedAndPatches) {
  ProductRecord affected = installed(u"Affected One");
  affected.installed = false; // still listed as affected
  ProductRecord notInstalled = installed(u"Absent");
  notInstalled.installed = false;
  ProductRecord excluded = installed(u"Excluded");
  excluded.excluded = true;
  QORBProductRecord patch;
  patch.displayName = u"Patch";
  patch.installed = true;
  patch.patchOrLangPack = true;
  ProductRecord shown = installed(u"Shown");
  std::u16string statement = buildResultsStatement(
      {&affected}, {&affected, &notInstalled, &excluded, &patch, &shown}, {}, englishTexts());
  EXPECT_NE(statement.find(u"Affected One"), std::u16string::npos);
  EXPECT_EQ(statement.find(u"Affected One"), statement.rfind(u"Affected One"));
  EXPECT_NE(statement.find(u"Shown"), std::u16string::npos);
  for (const char16_t* hidden : {u"Absent", u"Excluded", u"Patch"})
    EXPECT_EQ(statement.find(hidden), std::u16string::npos) << std::string(hidden, hidden + 1);
}

TEST(ResultsPage, UpdateLinkIsTheFirstKeyInOrderThatTheNameContains) {
  std::map<std::u16string, std::u16string> links = {{u"Viewer", u"v"}, {u"Studio", u"s"}};
  EXPECT_EQ(productUpdateLink(installed(u"Studio Viewer 9"), links, u"f"), u"s");
  EXPECT_EQ(productUpdateLink(installed(u"STUDIO Pro"), {{u"studio", u"s"}}, u"f"), u"s");
  EXPECT_EQ(productUpdateLink(installed(u"Édition"), {{u"édition", u"e"}}, u"f"), u"f");
  ProductRecord unnamed;
  unnamed.id = "{ABC}";
  EXPECT_EQ(productDisplayName(unnamed), u"{ABC}");
  EXPECT_EQ(productUpdateLink(unnamed, links, u"f"), u"f");
  links[u""] = u"empty";
  EXPECT_EQ(productUpdateLink(unnamed, links, u"f"), u"empty");
}

TEST(ResultsPage, OutsideTextCannotInjectMarkupOrBreakTheStatement) {
  ProductRecord evil = installed(u"<img src=x onerror=alert(1)>\"); steal(\"\\\n\u2028'");
  std::map<std::u16string, std::u16string> links = {
      {u"img", u"https://x.example/a'onmouseover='b&c"}};
  std::u16string statement = buildResultsStatement({&evil}, {}, links, englishTexts());
  EXPECT_EQ(statement.find(u"<img src=x"), std::u16string::npos);
  EXPECT_NE(statement.find(u"&lt;img src=x onerror=alert(1)&gt;&quot;); steal(&quot;\\\\\\n\\u2028&#39;"),
            std::u16string::npos);
  EXPECT_NE(statement.find(u"href='https://x.example/a&#39;onmouseover=&#39;b&amp;c'"),
            std::u16string::npos);
  // Exactly the two quotes that delimit the script string remain.
  EXPECT_EQ(std::count(statement.begin(), statement.end(), u'"'), 2);
  EXPECT_EQ(statement.find(u'\n'), std::u16string::npos);
}

TEST(AffectedProducts, PatchesStandForTheirParentsAndEachProductOnce) {
  QORBProductRecord suite, other, langPack;
  suite.displayName = u"Suite";
  other.displayName = u"Other";
  langPack.displayName = u"Language Pack";
  langPack.patchOrLangPack = true;
  langPack.parentProducts = {&suite, &other};
  PayloadEntry langPayload{"lp", {&langPack}};
  PayloadEntry sharedPayload{"shared", {&other, &suite}};
  PayloadEntry emptyPayload{"none", {}};
  ProductRecord folderProduct;
  QORBFileValueObject lpFile(u"C:\\lp.dll", &langPayload);
  QORBFileValueObject sharedFile(u"C:\\s.dll", &sharedPayload);
  QORBFileValueObject orphanFile(u"C:\\o.dll", &emptyPayload);
  FileValueObject folderFile(u"C:\\f.dll", &folderProduct);
  std::vector<std::unique_ptr<Defect>> defects;
  for (FileValueObject* file : std::vector<FileValueObject*>{&orphanFile, &folderFile, &lpFile,
                                                            &sharedFile, &folderFile})
    defects.push_back(std::make_unique<Defect>(file));
  EXPECT_EQ(affectedProducts(defects),
            (std::vector<ProductRecord*>{&folderProduct, &suite, &other}));
}
