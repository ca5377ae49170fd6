// CSV as RFC 4180 writes it: which fields are quoted and how, record ends,
// and text that is always UTF-8.
#include "util/Csv.h"

#include <gtest/gtest.h>

TEST(Csv, FieldsAreQuotedOnlyWhenTheyNeedIt) {
  EXPECT_EQ(csvField("plain text"), "plain text");
  EXPECT_EQ(csvField(""), "");
  EXPECT_EQ(csvField(" spaced "), " spaced ");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csvField("\""), "\"\"\"\"");
  EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(csvField("carriage\rreturn"), "\"carriage\rreturn\"");
  EXPECT_EQ(csvField("tab\tstays"), "tab\tstays");
}

TEST(Csv, RecordsJoinWithCommasAndEndWithCrLf) {
  EXPECT_EQ(csvRecord({"a", "b,c", "", "d\"e"}), "a,\"b,c\",,\"d\"\"e\"\r\n");
  EXPECT_EQ(csvRecord({""}), "\r\n");
  EXPECT_EQ(csvRecord({"", ""}), ",\r\n");
}

TEST(Csv, TextIsAlwaysUtf8) {
  EXPECT_EQ(csvField("Gr\xC3\xBC\xC3\x9F" "e, \xE4\xB8\xAD"),
            "\"Gr\xC3\xBC\xC3\x9F" "e, \xE4\xB8\xAD\"");
  // A Latin-1 byte is no UTF-8: it becomes U+FFFD.
  EXPECT_EQ(csvField("caf\xE9"), "caf\xEF\xBF\xBD");
  EXPECT_EQ(csvField("caf\xE9,x"), "\"caf\xEF\xBF\xBD,x\"");
}
