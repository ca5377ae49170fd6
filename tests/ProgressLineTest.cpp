// The progress line: how wide its text stands on a terminal (what erasing
// it must cover), and that it writes nothing where no terminal is.
#include "cli/ProgressLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

TEST(ProgressLine, ColumnsCountWideEastAsianLettersTwice) {
  EXPECT_EQ(terminalColumns("Files checked: 12 of 40"), 23u);
  EXPECT_EQ(terminalColumns("Geprüfte Dateien: 1.204 von 100.000"), 35u);
  EXPECT_EQ(terminalColumns("確認したファイル：12/40 件"), 26u);
  EXPECT_EQ(terminalColumns("확인한 파일: 12/40개"), 20u);
  EXPECT_EQ(terminalColumns("\xF0\x9F\x98\x80"), 1u); // one character beyond the 16-bit range
  EXPECT_EQ(terminalColumns(""), 0u);
}

TEST(ProgressLine, WritesNothingWhereNoTerminalIs) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  {
    ProgressLine line(file.get());
    EXPECT_FALSE(line.enabled());
    line.show("Files checked: 1 of 2");
    line.erase();
  }
  EXPECT_EQ(std::ftell(file.get()), 0L);
}
