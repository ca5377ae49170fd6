// Digest attributes of manifests and signature files: Base64 values, name
// continuations, the two walks that pair names with values, section
// digests, and whether a signature file agrees with its manifest.
#include "validation/ManifestDigests.h"

#include "platform/Digest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string digestOf(platform::DigestAlgorithm algorithm, const std::string& bytes) {
  platform::Digest digest(algorithm);
  digest.update(bytes);
  std::vector<std::uint8_t> value = digest.value().value();
  return std::string(value.begin(), value.end());
}

std::string sha1(const std::string& bytes) {
  platform::Digest digest(platform::DigestAlgorithm::Sha1);
  digest.update(bytes);
  std::vector<std::uint8_t> value = digest.value().value();
  return std::string(value.begin(), value.end());
}

std::string base64(const std::string& bytes) {
  static const char alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = std::uint8_t(bytes[i]) << 16;
    if (i + 1 < bytes.size())
      group |= std::uint8_t(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size())
      group |= std::uint8_t(bytes[i + 2]);
    text += alphabet[(group >> 18) & 63];
    text += alphabet[(group >> 12) & 63];
    text += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
    text += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
  }
  return text;
}

// A manifest and a matching signature file, built section by section the
// way signing tools write them.
struct SignedText {
  std::string manifest;
  std::string signatureFile;
};

std::string section(const std::string& name, const std::string& form, const std::string& digest) {
  return "Name: " + name + "\r\n" + form + "-Digest: " + base64(digest) + "\r\n\r\n";
}

SignedText makeSignedText(const std::string& form, const std::vector<std::string>& names) {
  SignedText text;
  text.manifest = "Manifest-Version: 1.0\r\nCreated-By: test\r\n\r\n";
  std::string sections;
  for (const std::string& name : names) {
    std::string manifestSection = section(name, form, sha1("contents of " + name));
    text.manifest += manifestSection;
    sections += section(name, form, sha1(manifestSection));
  }
  text.signatureFile = "Signature-Version: 1.0\r\n" + form +
                       "-Digest-Manifest: " + base64(sha1(text.manifest)) + "\r\n\r\n" + sections;
  return text;
}

struct Prefixes {
  std::string entry{kShaEntryDigest};
  std::string manifest{kShaManifestDigest};
};

bool verify(const SignedText& text, Prefixes& prefixes) {
  return verifySignatureFile(text.signatureFile, text.manifest, prefixes.entry, prefixes.manifest);
}

} // namespace

TEST(ManifestDigests, Base64GroupsAndTheirEnds) {
  EXPECT_EQ(decodeDigestBase64("TWFu"), "Man");
  EXPECT_EQ(decodeDigestBase64("TWFuTWE"), "ManMa");  // three characters: two bytes
  EXPECT_EQ(decodeDigestBase64("TWFuTQ"), "ManM");    // two characters: one byte
  EXPECT_EQ(decodeDigestBase64("TWFuT"), "Man");      // one character: nothing
  EXPECT_EQ(decodeDigestBase64("+/+/"), "\xFB\xFF\xBF");
  EXPECT_EQ(decodeDigestBase64(""), "");
  EXPECT_EQ(decodeDigestBase64("=TWFu"), "");
}

TEST(ManifestDigests, Base64StopsAtPaddingAndLineEnd) {
  std::string digest = sha1("abc");
  std::string value = base64(digest); // 28 characters, one "="
  ASSERT_EQ(value.size(), 28u);
  EXPECT_EQ(decodeDigestBase64(value + "\r"), digest);
  EXPECT_EQ(decodeDigestBase64("TWFu\r\nTWFu"), "Man");
  EXPECT_EQ(decodeDigestBase64("TW Fu"), "M"); // a blank ends it like any other byte
  EXPECT_EQ(decodeDigestBase64("TWFu-TWFu"), "Man");
}

TEST(ManifestDigests, ContinuationsDropLineBreakAndOneByte) {
  std::string name = "lib/a-long\r\n name\r\n .txt";
  removeContinuations(name);
  EXPECT_EQ(name, "lib/a-longname.txt");

  std::string atEnd = "name\r\n";
  removeContinuations(atEnd);
  EXPECT_EQ(atEnd, "name");
  std::string bareReturn = "na\rme\n";
  removeContinuations(bareReturn);
  EXPECT_EQ(bareReturn, "na\rme\n");
}

TEST(ManifestDigests, EntriesPairNamesWithValues) {
  std::string text = "Manifest-Version: 1.0\r\nSHA-Digest-Manifest: QUFB\r\n\r\n"
                     "Name: a.txt\r\nSHA-Digest: QUFB\r\n\r\n"
                     "Name: lib/long-na\r\n me.bin\r\nSHA-Digest: QkJC\r\n\r\n";
  DigestMap digests;
  parseDigestEntries(text, kShaEntryDigest, digests);
  EXPECT_EQ(digests, (DigestMap{{"a.txt", "AAA"}, {"lib/long-name.bin", "BBB"}}));

  // The other form's attributes are not entries of this form, and the
  // whole-manifest attribute is no entry of either.
  DigestMap sha1Form;
  parseDigestEntries(text, kSha1EntryDigest, sha1Form);
  EXPECT_TRUE(sha1Form.empty());
}

TEST(ManifestDigests, EntriesAddToTheMapAndLaterNamesReplace) {
  DigestMap digests{{"kept", "K"}, {"a", "old"}};
  parseDigestEntries("Name: a\r\nSHA-Digest: QUFB\r\n\r\nName: a\r\nSHA-Digest: QkJC\r\n",
                     kShaEntryDigest, digests);
  EXPECT_EQ(digests, (DigestMap{{"a", "BBB"}, {"kept", "K"}}));
}

TEST(ManifestDigests, NameAndValueWalksDriftWhenASectionHasTwoValues) {
  // The values are found from the end of the previous value, the names from
  // the previous digest attribute: the second value of section a goes to b.
  std::string text = "Name: a\r\nSHA-Digest: QUFB\r\nSHA-Digest: WFhY\r\n\r\n"
                     "Name: b\r\nSHA-Digest: QkJC\r\n\r\n";
  DigestMap digests;
  parseDigestEntries(text, kShaEntryDigest, digests);
  EXPECT_EQ(digests, (DigestMap{{"a", "AAA"}, {"b", "XXX"}}));
}

TEST(ManifestDigests, EntriesNeedAValueEndingInLineFeed) {
  DigestMap digests;
  parseDigestEntries("Name: a\r\nSHA-Digest: QUFB", kShaEntryDigest, digests);
  EXPECT_TRUE(digests.empty());
  parseDigestEntries("Name: a\r\nSHA-Digest: QUFB\n", kShaEntryDigest, digests);
  EXPECT_EQ(digests, (DigestMap{{"a", "AAA"}}));
}

TEST(ManifestDigests, ShortOrDegenerateTexts) {
  DigestMap digests;
  parseDigestEntries("Nam", kShaEntryDigest, digests);
  EXPECT_TRUE(digests.empty());
  EXPECT_TRUE(sectionDigests("Nam", kShaEntryDigest).empty());
  // An attribute right after "Name: " leaves no room for a name: the name
  // is empty, not the rest of the text.
  parseDigestEntries("Name: SHA-Digest: QUFB\n", kShaEntryDigest, digests);
  EXPECT_EQ(digests, (DigestMap{{"", "AAA"}}));
}

TEST(ManifestDigests, SectionDigestsCoverEachSectionUpToTheNext) {
  std::string main = "Manifest-Version: 1.0\r\n\r\n";
  std::string first = "Name: a.txt\r\nSHA-Digest: QUFB\r\nX-Other: 1\r\n\r\n";
  std::string second = "Name: b\r\n .txt\r\nSHA-Digest: QkJC\r\n\r\ntrailing bytes";
  DigestMap digests = sectionDigests(main + first + second, kShaEntryDigest);
  EXPECT_EQ(digests, (DigestMap{{"a.txt", sha1(first)}, {"b.txt", sha1(second)}}));
}

TEST(ManifestDigests, SignatureFileAgreesWithItsManifest) {
  Prefixes prefixes;
  EXPECT_TRUE(verify(makeSignedText("SHA", {"a.txt", "lib/b.bin"}), prefixes));
  EXPECT_EQ(prefixes.entry, kShaEntryDigest);
  EXPECT_EQ(prefixes.manifest, kShaManifestDigest);
}

TEST(ManifestDigests, SecondAttributeFormSwitchesBothPrefixes) {
  Prefixes prefixes;
  EXPECT_TRUE(verify(makeSignedText("SHA1", {"a.txt", "lib/b.bin"}), prefixes));
  EXPECT_EQ(prefixes.entry, kSha1EntryDigest);
  EXPECT_EQ(prefixes.manifest, kSha1ManifestDigest);

  // Neither form: the switch happens, and the check fails.
  Prefixes neither;
  EXPECT_FALSE(verify(makeSignedText("MD5", {"a.txt"}), neither));
  EXPECT_EQ(neither.entry, kSha1EntryDigest);
}

TEST(ManifestDigests, ChangedManifestOrSectionFails) {
  SignedText text = makeSignedText("SHA", {"a.txt", "b.txt"});
  Prefixes prefixes;
  SignedText changedManifest = text;
  changedManifest.manifest += "X-Late: 1\r\n";
  EXPECT_FALSE(verify(changedManifest, prefixes));

  // A section digest that differs, with the whole-manifest digest left right.
  SignedText changedSection = text;
  std::size_t at = changedSection.signatureFile.rfind("SHA-Digest: ") + 12;
  changedSection.signatureFile[at] = changedSection.signatureFile[at] == 'A' ? 'B' : 'A';
  EXPECT_FALSE(verify(changedSection, prefixes));

  EXPECT_FALSE(verifySignatureFile("", text.manifest, prefixes.entry, prefixes.manifest));
  EXPECT_FALSE(verifySignatureFile(text.signatureFile, "", prefixes.entry, prefixes.manifest));
}

TEST(ManifestDigests, ValuesMustBeWholeDigests) {
  SignedText text = makeSignedText("SHA", {"a.txt"});
  std::string full = base64(sha1(text.manifest));
  Prefixes prefixes;
  EXPECT_TRUE(verify(text, prefixes));

  SignedText shortened = text; // 8 characters: the digest's first 6 bytes
  shortened.signatureFile.replace(shortened.signatureFile.find(full), full.size(), full.substr(0, 8));
  EXPECT_FALSE(verify(shortened, prefixes));

  SignedText empty = text; // nothing decoded matches no digest
  empty.signatureFile.replace(empty.signatureFile.find(full), full.size(), "");
  EXPECT_FALSE(verify(empty, prefixes));

  SignedText longer = text; // more bytes than a SHA-1 value has
  longer.signatureFile.replace(longer.signatureFile.find(full), full.size(),
                               base64(sha1(text.manifest) + "more"));
  EXPECT_FALSE(verify(longer, prefixes));

  // The same for a section's digest.
  std::string sectionValue = base64(sha1(section("a.txt", "SHA", sha1("contents of a.txt"))));
  SignedText emptySection = text;
  emptySection.signatureFile.replace(emptySection.signatureFile.find(sectionValue),
                                     sectionValue.size(), "");
  EXPECT_FALSE(verify(emptySection, prefixes));
}

TEST(ManifestDigests, SectionCountsMustMatch) {
  SignedText text = makeSignedText("SHA", {"a.txt", "b.txt"});
  Prefixes prefixes;
  // One section more in the manifest than the signature file lists (the
  // whole-manifest digest updated so that only the count differs).
  SignedText fewer = makeSignedText("SHA", {"a.txt"});
  SignedText extra = text;
  extra.signatureFile = fewer.signatureFile;
  std::string oldDigest = base64(sha1(fewer.manifest));
  extra.signatureFile.replace(extra.signatureFile.find(oldDigest), oldDigest.size(),
                              base64(sha1(text.manifest)));
  EXPECT_FALSE(verify(extra, prefixes));
}

TEST(ManifestDigests, UnlistedSectionIsLookedUpAsEmptyValueAndFails) {
  // Same count, but the signature file names another section: the manifest
  // section it lacks is compared with an empty value, which matches nothing.
  SignedText text = makeSignedText("SHA", {"a.txt", "b.txt"});
  std::size_t at = text.signatureFile.find("Name: b.txt");
  text.signatureFile.replace(at, 11, "Name: c.txt");
  Prefixes prefixes;
  EXPECT_FALSE(verify(text, prefixes));
}

// A manifest and signature file of a SHA-2 or hyphenated SHA-1 form, lines
// cut at 72 bytes and continued after a blank, as jarsigner writes them.
SignedText makeWrappedText(const std::string& form, platform::DigestAlgorithm algorithm,
                           const std::vector<std::string>& names) {
  auto wrapped = [](const std::string& line) {
    std::string text = line.substr(0, 70);
    for (std::size_t at = 70; at < line.size(); at += 69)
      text += "\r\n " + line.substr(at, 69);
    return text + "\r\n";
  };
  SignedText text;
  text.manifest = "Manifest-Version: 1.0\r\n\r\n";
  std::string sections;
  for (const std::string& name : names) {
    std::string manifestSection = "Name: " + name + "\r\n" +
                                  wrapped(form + "-Digest: " + base64(digestOf(algorithm, name))) +
                                  "\r\n";
    text.manifest += manifestSection;
    sections += "Name: " + name + "\r\n" +
                wrapped(form + "-Digest: " + base64(digestOf(algorithm, manifestSection))) + "\r\n";
  }
  text.signatureFile = "Signature-Version: 1.0\r\n" +
                       wrapped(form + "-Digest-Manifest: " + base64(digestOf(algorithm, text.manifest))) +
                       "\r\n" + sections;
  return text;
}

TEST(ManifestDigests, FormsOfTodayUseTheirOwnAlgorithm) {
  using platform::DigestAlgorithm;
  const struct {
    const char* form;
    DigestAlgorithm algorithm;
    std::string_view entry;
  } forms[] = {{"SHA-1", DigestAlgorithm::Sha1, kSha1HyphenEntryDigest},
               {"SHA-256", DigestAlgorithm::Sha256, kSha256EntryDigest},
               {"SHA-384", DigestAlgorithm::Sha384, kSha384EntryDigest},
               {"SHA-512", DigestAlgorithm::Sha512, kSha512EntryDigest}};
  for (const auto& f : forms) {
    SignedText text = makeWrappedText(f.form, f.algorithm, {"a.txt", "lib/b.bin"});
    Prefixes prefixes;
    EXPECT_TRUE(verify(text, prefixes)) << f.form;
    EXPECT_EQ(prefixes.entry, f.entry) << f.form;
    EXPECT_EQ(entryDigestAlgorithm(prefixes.entry), f.algorithm) << f.form;
    // The entries' values, continued over lines, are whole digests.
    DigestMap entries;
    parseDigestEntries(text.manifest, prefixes.entry, entries);
    EXPECT_EQ(entries, (DigestMap{{"a.txt", digestOf(f.algorithm, "a.txt")},
                                  {"lib/b.bin", digestOf(f.algorithm, "lib/b.bin")}}))
        << f.form;
    // A SHA-1 value under another form's name is no digest of that form.
    SignedText mislabelled = makeSignedText(f.form, {"a.txt"});
    Prefixes other;
    EXPECT_EQ(verify(mislabelled, other), f.algorithm == DigestAlgorithm::Sha1) << f.form;
  }
  // The first forms keep their precedence: a file with SHA1 and SHA-256
  // whole-manifest digests is read in the SHA1 form.
  SignedText both = makeSignedText("SHA1", {"a.txt"});
  both.signatureFile += "SHA-256-Digest-Manifest: AAAA\r\n";
  Prefixes prefixes;
  EXPECT_TRUE(verify(both, prefixes));
  EXPECT_EQ(prefixes.entry, kSha1EntryDigest);
}
