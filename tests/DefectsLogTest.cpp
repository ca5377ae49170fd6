// Defects.log: grouping by product, the fixed layout and its encoding.
#include "finders/PayloadEntry.h"
#include "finders/ProductRecord.h"
#include "finders/ValueObject.h"
#include "report/DefectsLog.h"
#include "session/Defect.h"
#include "TestPrefix.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), {});
}

std::vector<std::unique_ptr<Defect>> defectsFor(const std::vector<FileValueObject*>& files) {
  std::vector<std::unique_ptr<Defect>> defects;
  for (FileValueObject* file : files)
    defects.push_back(std::make_unique<Defect>(file));
  return defects;
}

const std::string kRule = std::string(150, '-') + "\r\n";

} // namespace

TEST(DefectsLog, NothingToReportWritesNoFile) {
  TestPrefix prefix;
  EXPECT_FALSE(writeDefectsLog({}, u"C:\\Defects.log"));
  PayloadEntry empty{"p", {}};
  QORBFileValueObject orphan(u"C:\\o.dll", &empty);
  EXPECT_FALSE(writeDefectsLog(defectsFor({&orphan}), u"C:\\Defects.log"));
  EXPECT_FALSE(std::filesystem::exists(prefix.driveC("Defects.log")));
}

TEST(DefectsLog, LayoutGroupsPathsUnderProductsInFirstReachedOrder) {
  TestPrefix prefix;
  ProductRecord folder;
  folder.displayName = u"Folder Tool";
  QORBProductRecord suite, patch;
  suite.id = "{1111-2222}";
  suite.displayName = u"Studio 9";
  patch.id = "PATCH";
  patch.displayName = u"Studio Patch";
  patch.patchOrLangPack = true;
  PayloadEntry shared{"shared", {&suite, &patch}};
  QORBFileValueObject a(u"C:\\Program Files\\Studio\\a.dll", &shared);
  QORBFileValueObject b(u"C:\\Program Files\\Studio\\b.exe", &shared);
  FileValueObject tool(u"C:\\Tool\\t.exe", &folder);
  FileValueObject toolAgain(u"C:\\Tool\\t.exe", &folder); // listed twice by nested folders
  ASSERT_TRUE(writeDefectsLog(defectsFor({&tool, &a, &b, &toolAgain, &a}), u"C:\\Defects.log"));

  std::string expected = kRule + "List of products and affected files in them\r\n" + kRule +
                         "\r\n" + kRule + "Product Name : Folder Tool\r\n" + kRule + "\r\n" +
                         "\tC:\\Tool\\t.exe\r\n\tC:\\Tool\\t.exe\r\n\r\n" +
                         "\r\n" + kRule + "Product Name : Studio 9\r\nProduct ID : {1111-2222}\r\n" +
                         kRule + "\r\n" +
                         "\tC:\\Program Files\\Studio\\a.dll\r\n\tC:\\Program Files\\Studio\\b.exe\r\n\r\n" +
                         "\r\n" + kRule + "Product Name : Studio Patch\r\nProduct ID : PATCH\r\n" +
                         kRule + "\r\n" +
                         "\tC:\\Program Files\\Studio\\a.dll\r\n\tC:\\Program Files\\Studio\\b.exe\r\n\r\n";
  EXPECT_EQ(readFile(prefix.driveC("Defects.log")), expected);
}

TEST(DefectsLog, TextBeyondLatin1SurvivesAsUtf8) {
  TestPrefix prefix;
  ProductRecord product;
  product.displayName = u"Студия ✓";
  FileValueObject file(u"C:\\Пользователи\\x.dll", &product);
  FileValueObject next(u"C:\\after.dll", &product);
  ASSERT_TRUE(writeDefectsLog(defectsFor({&file, &next}), u"C:\\Defects.log"));
  std::string log = readFile(prefix.driveC("Defects.log"));
  EXPECT_EQ(log.rfind("\xEF\xBB\xBF", 0), std::string::npos); // no byte-order mark
  EXPECT_NE(log.find("Product Name : \xD0\xA1\xD1\x82\xD1\x83\xD0\xB4\xD0\xB8\xD1\x8F \xE2\x9C\x93\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("\tC:\\after.dll\r\n"), std::string::npos);
}

TEST(DefectsLog, UnwritablePlaceReportsFalse) {
  TestPrefix prefix;
  ProductRecord product;
  FileValueObject file(u"C:\\x.dll", &product);
  EXPECT_FALSE(writeDefectsLog(defectsFor({&file}), u"C:\\missing folder\\Defects.log"));
}
