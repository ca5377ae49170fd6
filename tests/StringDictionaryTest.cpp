// Dictionary texts in, lookups out: entry syntax, escapes, encodings,
// duplicates, hash collisions, copying out, and malformed input.
#include "l10n/StringDictionary.h"
#include "l10n/ZKErrException.h"

#include "DictionaryTestText.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <span>
#include <string>

using namespace dravik;
using testtext::Bytes;
using namespace std::string_literals;

namespace {

// A dictionary loaded from the given buffers in order.
DictionaryHandle loaded(std::initializer_list<Bytes> texts) {
  DictionaryHandle dictionary = createDictionary();
  for (const Bytes& text : texts)
    loadDictionary(*dictionary, text.data(), text.size(), 1);
  return dictionary;
}

std::u16string lookup(const DictionaryHandle& dictionary, const std::string& key) {
  return lookupString(*dictionary, key.c_str()).text();
}

// A lookup that tells a missing key (the marker default) from an empty value.
constexpr char16_t kMissing[] = u"<missing>";
std::u16string lookupOrMissing(const DictionaryHandle& dictionary, const std::string& key) {
  return lookup(dictionary, key + "=<missing>");
}

} // namespace

TEST(StringDictionary, QuotedAndUnquotedLinesDefineTheSameEntry) {
  for (std::u16string line : {u"$$$/ZFNK/a=b", u"\"$$$/ZFNK/a=b\"",
                              u"ignored \"$$$/ZFNK/a=b\" ignored too",
                              u"\"$$$/ZFNK/a=b"}) {
    auto dictionary = loaded({testtext::utf16le(line)});
    EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/a"), u"b") << std::string(line.begin(), line.end());
  }
}

TEST(StringDictionary, KeyWithoutPrefixAndWithoutEqualsHasEmptyValue) {
  auto dictionary = loaded({testtext::utf16le(u"# word\r\nplain=text")});
  EXPECT_EQ(lookupOrMissing(dictionary, "# word"), u"");
  EXPECT_EQ(lookup(dictionary, "plain"), u"text");
  EXPECT_EQ(lookupOrMissing(dictionary, "#"), kMissing);
}

TEST(StringDictionary, DollarPrefixOtherThanThreeDollarsIsRejected) {
  auto dictionary = loaded({testtext::utf16le(
      u"$$/ZFNK/x=two\r\n\"$/ZFNK/y=one\"\r\n$$\r\n$\r\n$$$/ZFNK/z=three")});
  for (const char* key : {"$$$/ZFNK/x", "$$$$/ZFNK/x", "/ZFNK/x", "$$$/ZFNK/y",
                          "/ZFNK/y", "$$$", "$$$$$"})
    EXPECT_EQ(lookupOrMissing(dictionary, key), kMissing) << key;
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/z"), u"three");
  // The same rule applies to lookup strings: no default text is offered.
  EXPECT_EQ(lookup(dictionary, "$$/ZFNK/z=fallback"), u"");
  EXPECT_EQ(lookup(dictionary, "/ZFNK/z"), u"three");
}

TEST(StringDictionary, LaterDuplicateWinsWithinAndAcrossLoads) {
  auto dictionary = loaded({testtext::utf16le(u"$$$/ZFNK/k=first\r\n$$$/ZFNK/k=second")});
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/k"), u"second");
  auto again = testtext::utf16le(u"$$$/ZFNK/k=third\r\n$$$/ZFNK/other=x");
  loadDictionary(*dictionary, again.data(), again.size(), 1);
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/k"), u"third");
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/other"), u"x");
}

TEST(StringDictionary, EscapedQuotesStayInsideTheEntryText) {
  auto dictionary = loaded({testtext::utf16le(
      u"\"$$$/ZFNK/q=say \\\"hi\\\" now\" trailing \"$$$/ZFNK/q=no\"")});
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/q"), u"say \"hi\" now");
}

TEST(StringDictionary, ValueEscapesResolveLeftToRight) {
  const std::map<std::u16string, std::u16string> cases = {
      {u"^C1999", u"\u00A91999"},
      {u"a^nb\\tc", u"a\nb\tc"},
      {u"^x", u"^x"},
      {u"end^", u"end^"},
      {u"end\\", u"end\\"},
      {u"^^Q", u"^Q"},
      {u"\\\\n", u"\\n"},
      {u"it\\'s", u"it\\'s"},
      {u"^t\\C", u"^t\\C"},
      {u"^Q^[^]^{^}^C^R^T^D^B^#^!^I^S^n^r",
       u"\"\u201C\u201D\u2018\u2019\u00A9\u00AE\u2122\u00B0\u2022\u2318\u00AC\u2206\u2211\n\r"},
      {u"\\\"\\n\\r\\t\\b", u"\"\n\r\t\b"},
      {u"^\\n", u"^\\n"},
  };
  for (const auto& [value, expected] : cases) {
    auto dictionary = loaded({testtext::utf16le(u"$$$/ZFNK/e=" + value)});
    EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/e"), expected)
        << std::string(value.begin(), value.end());
  }
}

TEST(StringDictionary, KeysAreTakenAsWrittenAndCompareByLowBytes) {
  auto dictionary = loaded({testtext::utf16le(u"$$$/ZFNK/^C=v1\r\n$$$/ZFNK/\u0141=v2")});
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/^C"), u"v1");
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/A"), u"v2"); // U+0141 keeps its low byte 0x41
}

TEST(StringDictionary, MissingKeyGivesDefaultTextOrNothing) {
  auto dictionary = loaded({testtext::utf16le(u"$$$/ZFNK/a=b")});
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/none=Fallback text"), u"Fallback text");
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/a=Fallback"), u"b");
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/none"), u"");
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/none="), u"");
  EXPECT_EQ(lookup(dictionary, ""), u"");
  EXPECT_EQ(lookupString(*dictionary, nullptr).text(), u"");
  // Default bytes are widened one to one unless a code page is named.
  EXPECT_EQ(lookup(dictionary, "$$$/x=\xC3\xA9"), u"\u00C3\u00A9");
  EXPECT_EQ(lookupString(*dictionary, "$$$/x=\xC3\xA9", CodePage::Utf8).text(), u"\u00E9");
}

TEST(StringDictionary, BigEndianReadsLikeLittleEndian) {
  const std::u16string text =
      u"\"$$$/ZFNK/a=\u00E9t\u00E9 ^C\"\r\n\"$$$/ZFNK/b=\u65E5\u672C\"\u2028$$$/ZFNK/c=x";
  auto little = loaded({testtext::utf16le(text)});
  auto big = loaded({testtext::utf16be(text)});
  for (const char* key : {"$$$/ZFNK/a", "$$$/ZFNK/b", "$$$/ZFNK/c"}) {
    EXPECT_FALSE(lookup(little, key).empty()) << key;
    EXPECT_EQ(lookup(big, key), lookup(little, key)) << key;
  }
  EXPECT_EQ(lookup(big, "$$$/ZFNK/a"), u"\u00E9t\u00E9 \u00A9");
}

TEST(StringDictionary, ZeroUnitEndsTheTextAtALineStartAndTheLineInside) {
  auto empty = loaded({testtext::utf16le(u"\0$$$/ZFNK/a=b"s)});
  EXPECT_EQ(lookup(empty, "$$$/ZFNK/a"), u"");

  auto wide = loaded({testtext::utf16le(u"$$$/ZFNK/a=b\0$$$/ZFNK/c=d\n"s)});
  EXPECT_EQ(lookup(wide, "$$$/ZFNK/a"), u"b");
  EXPECT_EQ(lookup(wide, "$$$/ZFNK/c"), u"d");

  auto bytes = loaded({testtext::narrow("$$$/ZFNK/a=b\0$$$/ZFNK/c=d\n\0$$$/ZFNK/e=f"s)});
  EXPECT_EQ(lookup(bytes, "$$$/ZFNK/a"), u"b");
  EXPECT_EQ(lookup(bytes, "$$$/ZFNK/c"), u"d");
  EXPECT_EQ(lookup(bytes, "$$$/ZFNK/e"), u""); // the 0 at a line start ended the text
}

TEST(StringDictionary, EightBitTextIsUtf8WithReplacementOfBadBytes) {
  if (!testtext::ansiCodePageIsUtf8())
    GTEST_SKIP() << testtext::kAnsiNotUtf8;
  EXPECT_EQ(lookupString(*loaded({testtext::utf16le(u"")}), "$$$/x=\xC3\xA9", CodePage::Ansi).text(),
            u"\u00E9");
  // The first line starts with a UTF-8 byte-order mark, as the loaded
  // resources do; it stands before the quote and is ignored.
  auto dictionary = loaded({testtext::narrow(
      "\xEF\xBB\xBF\"$$$/ZFNK/a=gr\xC3\xBC\xC3\x9F\"\r\n$$$/ZFNK/b=x\xFFy\r$$$/ZFNK/c=\xE6\x97\xA5")});
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/a"), u"gr\u00FC\u00DF");
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/b"), u"x\uFFFDy");
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/c"), u"\u65E5");
}

TEST(StringDictionary, LongValueIsCutToTheBufferWithoutError) {
  const std::u16string value(6000, u'w');
  auto dictionary = loaded({testtext::utf16le(u"$$$/ZFNK/long=" + value)});
  const LookupResult result = lookupString(*dictionary, "$$$/ZFNK/long");
  ASSERT_EQ(result.text(), value);

  std::u16string buffer(5120, u'#');
  copyToBuffer(result, buffer.data(), buffer.size(), false);
  EXPECT_EQ(std::u16string(buffer.data()), value.substr(0, 5119));

  std::u16string strict(5120, u'#');
  try {
    copyToBuffer(result, strict.data(), strict.size(), true);
    ADD_FAILURE() << "no exception for a buffer that is too small";
  } catch (const dravik_private::ZKErrException& error) {
    EXPECT_EQ(error.code(), 0x42554646u);
  }
  EXPECT_EQ(std::u16string(strict.data()), value.substr(0, 5119));
}

TEST(StringDictionary, CopyToBufferEdges) {
  const LookupResult result(u"abc");
  char16_t exact[4] = {u'#', u'#', u'#', u'#'};
  copyToBuffer(result, exact, 4, true);
  EXPECT_EQ(std::u16string(exact), u"abc");

  // Three units for three characters leave no room for the terminator.
  char16_t full[3] = {u'#', u'#', u'#'};
  EXPECT_THROW(copyToBuffer(result, full, 3, true), dravik_private::ZKErrException);
  EXPECT_EQ(std::u16string(full), u"ab");

  char16_t one[1] = {u'#'};
  copyToBuffer(result, one, 1, false);
  EXPECT_EQ(one[0], u'\0');

  char16_t untouched[1] = {u'#'};
  copyToBuffer(result, untouched, 0, false);
  EXPECT_EQ(untouched[0], u'#');
  EXPECT_THROW(copyToBuffer(result, nullptr, 0, true), dravik_private::ZKErrException);
}

TEST(StringDictionary, KeysInOneChainAreToldApart) {
  // Ten-byte keys sample every second byte, so keys that differ only at odd
  // positions share a chain.
  const std::string first = "/ZFNK/a1b1";
  const std::string second = "/ZFNK/a2b2";
  auto bytes = [](const std::string& key) {
    return std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size());
  };
  ASSERT_EQ(dravik_private::keyHash(bytes(first)), dravik_private::keyHash(bytes(second)));

  // Short keys whose whole bytes collide modulo the table size.
  std::map<std::uint32_t, std::string> seen;
  std::string third, fourth;
  for (int i = 0; i < 100000 && third.empty(); ++i) {
    const std::string key = "k" + std::to_string(i);
    auto [it, inserted] = seen.emplace(dravik_private::keyHash(bytes(key)), key);
    if (!inserted) {
      third = it->second;
      fourth = key;
    }
  }
  ASSERT_FALSE(third.empty());

  std::u16string text;
  for (const std::string& key : {first, second, third, fourth})
    text += u"$$$" + std::u16string(key.begin(), key.end()) + u"=" +
            std::u16string(key.begin(), key.end()) + u"\r\n";
  auto dictionary = loaded({testtext::utf16le(text)});
  for (const std::string& key : {first, second, third, fourth})
    EXPECT_EQ(lookup(dictionary, "$$$" + key), std::u16string(key.begin(), key.end()));

  // Replacing the older entry of a chain leaves the newer one in place.
  auto update = testtext::utf16le(u"$$$/ZFNK/a1b1=changed");
  loadDictionary(*dictionary, update.data(), update.size(), 1);
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/a1b1"), u"changed");
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/a2b2"), u"/ZFNK/a2b2");
}

TEST(StringDictionary, KeyHashSamplesAtMostSixBytes) {
  auto hash = [](const std::string& key) {
    return dravik_private::keyHash(
        std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()));
  };
  EXPECT_EQ(hash(""), 0u);
  EXPECT_EQ(hash("A"), 65u);
  EXPECT_EQ(hash("AB"), (66u + 32u * 65u) % 1021u);
  // Length 12: step 2, positions 0..10; only those positions count.
  EXPECT_EQ(hash("a-b-c-d-e-f-"), hash("a+b+c+d+e+f+"));
  EXPECT_NE(hash("a-b-c-d-e-f-"), hash("a-b-c-d-e-g-"));
  // Bytes above 0x7F count as unsigned.
  EXPECT_EQ(hash("\xFF"), 255u);
}

TEST(StringDictionary, NullOrTinyInputAddsNothing) {
  auto dictionary = createDictionary();
  loadDictionary(*dictionary, nullptr, 10, 1);
  const std::uint8_t one[] = {'a'};
  loadDictionary(*dictionary, one, 1, 1);
  const std::uint8_t mark[] = {0xFF, 0xFE, 'a'};
  loadDictionary(*dictionary, mark, 3, 1); // a lone byte after the mark is no unit
  for (const auto& head : dictionary->chains)
    EXPECT_TRUE(head == nullptr);
}

TEST(StringDictionary, MalformedInputNeverBreaksLaterLines) {
  // Random garbage without 0 units (which would end the text), then one
  // well-formed line: loading never fails and the last line always holds.
  std::mt19937 random(20240611);
  for (int round = 0; round < 300; ++round) {
    const std::size_t length = random() % 3000;
    std::u16string garbage;
    for (std::size_t i = 0; i < length; ++i)
      garbage.push_back(static_cast<char16_t>(random() % 0xFFFF + 1));
    std::string narrowGarbage;
    for (std::size_t i = 0; i < length; ++i)
      narrowGarbage.push_back(static_cast<char>(random() % 255 + 1));

    auto wide = loaded({testtext::utf16le(garbage + u"\n\"$$$/ZFNK/end=ok\"")});
    EXPECT_EQ(lookup(wide, "$$$/ZFNK/end"), u"ok");
    auto swapped = loaded({testtext::utf16be(garbage + u"\n\"$$$/ZFNK/end=ok\"")});
    EXPECT_EQ(lookup(swapped, "$$$/ZFNK/end"), u"ok");
    auto bytes = loaded({testtext::narrow("x" + narrowGarbage + "\n\"$$$/ZFNK/end=ok\"")});
    EXPECT_EQ(lookup(bytes, "$$$/ZFNK/end"), u"ok");
  }
}

TEST(StringDictionary, HugeLinesAndManyEntriesLoadWhole) {
  const std::u16string huge(300000, u'\u00E4');
  std::u16string text = u"$$$/ZFNK/huge=" + huge + u"\r\n";
  for (int i = 0; i < 5000; ++i) {
    const std::string number = std::to_string(i);
    text += u"$$$/ZFNK/k" + std::u16string(1, char16_t(u'0' + i % 10)) + u"_" +
            std::u16string(number.begin(), number.end()) + u"=v\r\n";
  }
  auto dictionary = loaded({testtext::utf16le(text)});
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/huge"), huge);
  EXPECT_EQ(lookup(dictionary, "$$$/ZFNK/k9_4999"), u"v");
}

TEST(StringDictionary, LongChainsAreReleasedWithoutRecursion) {
  // A million entries in one chain: releasing the head must not recurse
  // once per entry.
  const std::uint8_t key[] = {'k'};
  auto dictionary = createDictionary();
  auto& head = dictionary->chains[dravik_private::keyHash(key)];
  for (int i = 0; i < 1000000; ++i) {
    auto entry = std::make_unique<dravik_private::DictionaryEntry>(key, u"v");
    entry->next = std::move(head);
    head = std::move(entry);
  }
  EXPECT_EQ(lookup(dictionary, "k"), u"v");
  dictionary.reset();
  EXPECT_EQ(dictionary, nullptr);
}
