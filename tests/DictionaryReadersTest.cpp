// Splitting dictionary texts into lines: the choice of reader by byte-order
// mark, line terminators, 0 units, odd byte counts and buffer growth.
#include "l10n/DictionaryReaders.h"
#include "l10n/GrowableBuffer.h"

#include "DictionaryTestText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dravik_private;
using namespace std::string_literals;

namespace {

// Every line a reader yields for the text, until it reports the end.
std::vector<std::u16string> linesOf(const testtext::Bytes& text) {
  std::vector<std::u16string> lines;
  std::unique_ptr<DictionaryReader> reader = readerFor(text);
  if (!reader)
    return lines;
  while (auto line = reader->nextLine()) {
    EXPECT_EQ(line->data()[line->size()], u'\0'); // every line is terminated
    lines.emplace_back(*line);
  }
  return lines;
}

using Lines = std::vector<std::u16string>;

} // namespace

TEST(DictionaryReaders, ReaderIsChosenByByteOrderMark) {
  EXPECT_EQ(readerFor(testtext::Bytes{}), nullptr);
  EXPECT_EQ(readerFor(testtext::Bytes{0xFF}), nullptr);
  EXPECT_NE(dynamic_cast<ByteSwapUnicodeReader*>(readerFor(testtext::utf16be(u"a")).get()), nullptr);
  auto little = readerFor(testtext::utf16le(u"a"));
  EXPECT_NE(dynamic_cast<UnicodeReader*>(little.get()), nullptr);
  EXPECT_EQ(dynamic_cast<ByteSwapUnicodeReader*>(little.get()), nullptr);
  EXPECT_NE(dynamic_cast<MultibyteReader*>(readerFor(testtext::narrow("ab")).get()), nullptr);
  // Without a mark the first two bytes are text.
  EXPECT_EQ(linesOf(testtext::narrow("ab")), Lines{u"ab"});
  EXPECT_EQ(linesOf(testtext::utf16le(u"ab", false)), (Lines{u"a", u"b"}));
}

TEST(DictionaryReaders, EveryTerminatorEndsALine) {
  EXPECT_EQ(linesOf(testtext::utf16le(u"a\r\nb\rc\nd\u2028e\u2029f")),
            (Lines{u"a", u"", u"b", u"c", u"d", u"e", u"f"}));
  EXPECT_EQ(linesOf(testtext::utf16be(u"a\r\nb\u2029")), (Lines{u"a", u"", u"b"}));
  EXPECT_EQ(linesOf(testtext::narrow("a\r\nb\rc\nd\n")), (Lines{u"a", u"", u"b", u"c", u"d"}));
  EXPECT_EQ(linesOf(testtext::narrow("a\n\n")), (Lines{u"a", u""}));
}

TEST(DictionaryReaders, EightBitTextIsUtf8WhereTheAnsiCodePageIs) {
  if (!testtext::ansiCodePageIsUtf8())
    GTEST_SKIP() << testtext::kAnsiNotUtf8;
  // In 8-bit text only CR and LF end lines; U+2028 in UTF-8 is text.
  EXPECT_EQ(linesOf(testtext::narrow("a\r\nb\rc\nd\xE2\x80\xA8" "e")),
            (Lines{u"a", u"", u"b", u"c", u"d\u2028e"}));
  // Invalid UTF-8 becomes U+FFFD.
  EXPECT_EQ(linesOf(testtext::narrow("a\xC3(\xF0\x9F\x98\x80")),
            (Lines{u"a\uFFFD(\U0001F600"}));
}

TEST(DictionaryReaders, ZeroEndsTheLineOrTheText) {
  EXPECT_EQ(linesOf(testtext::utf16le(u"ab\0cd\n\0ef"s)), (Lines{u"ab", u"cd"}));
  EXPECT_EQ(linesOf(testtext::utf16le(u"\0ab"s)), Lines{});
  EXPECT_EQ(linesOf(testtext::narrow("ab\0cd\n\0ef"s)), (Lines{u"ab", u"cd"}));
  EXPECT_EQ(linesOf(testtext::narrow("x\n\0ab"s)), Lines{u"x"});
}

TEST(DictionaryReaders, TrailingOddByteIsNoUnit) {
  testtext::Bytes text = testtext::utf16le(u"ab\ncd");
  text.push_back('e');
  EXPECT_EQ(linesOf(text), (Lines{u"ab", u"cd"}));
  testtext::Bytes swapped = testtext::utf16be(u"ab");
  swapped.push_back(0x00);
  EXPECT_EQ(linesOf(swapped), Lines{u"ab"});
}

TEST(DictionaryReaders, UnitsAreKeptAsTheyAre) {
  // Lone surrogates and non-characters pass through the UTF-16 readers.
  const std::u16string odd = u"\xD800x\xDFFF\xFFFE\xFEFF";
  EXPECT_EQ(linesOf(testtext::utf16le(odd)), Lines{odd});
  EXPECT_EQ(linesOf(testtext::utf16be(odd)), Lines{odd});
}

TEST(DictionaryReaders, LinesOfAnyLengthArriveWhole) {
  std::u16string longLine;
  for (int i = 0; i < 200000; ++i)
    longLine.push_back(static_cast<char16_t>(u'a' + i % 26));
  EXPECT_EQ(linesOf(testtext::utf16le(longLine + u"\nz")), (Lines{longLine, u"z"}));
  const std::string longBytes(200000, 'q');
  EXPECT_EQ(linesOf(testtext::narrow(longBytes + "\nz")),
            (Lines{std::u16string(200000, u'q'), u"z"}));
}

TEST(DictionaryReaders, BuffersGrowByHalfTheirCapacity) {
  GrowableBuffer<char16_t> buffer(kInitialLineCapacity);
  EXPECT_EQ(buffer.capacity(), 256u);
  buffer.reserve(257);
  EXPECT_EQ(buffer.capacity(), 384u);
  buffer.reserve(600);
  EXPECT_EQ(buffer.capacity(), 864u); // 384 -> 576 -> 864
  for (int i = 0; i < 1000; ++i)
    buffer.push_back(static_cast<char16_t>(i));
  EXPECT_EQ(buffer.size(), 1000u);
  EXPECT_EQ(buffer.capacity(), 1296u);
  EXPECT_EQ(buffer.data()[999], 999);

  GrowableBuffer<char> tiny(1);
  tiny.push_back('a');
  tiny.push_back('b');
  EXPECT_EQ(tiny.capacity(), 2u);
  EXPECT_EQ(std::string(tiny.data(), tiny.size()), "ab");
}
