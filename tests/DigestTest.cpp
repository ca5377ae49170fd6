// The platform's MD5 and SHA-1 digest objects.
#include "platform/Digest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string hex(const std::vector<std::uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

std::string digestOf(platform::DigestAlgorithm algorithm, std::string_view bytes) {
  platform::Digest digest(algorithm);
  EXPECT_TRUE(digest.update(bytes));
  return hex(digest.value().value());
}

} // namespace

TEST(Digest, KnownValues) {
  using platform::DigestAlgorithm;
  EXPECT_EQ(digestOf(DigestAlgorithm::Md5, "abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(digestOf(DigestAlgorithm::Sha1, "abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(digestOf(DigestAlgorithm::Sha1, ""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(digestOf(DigestAlgorithm::Sha256, "abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(digestOf(DigestAlgorithm::Sha384, "abc"),
            "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed"
            "8086072ba1e7cc2358baeca134c825a7");
  EXPECT_EQ(digestOf(DigestAlgorithm::Sha512, "abc"),
            "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
            "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
  for (DigestAlgorithm algorithm : {DigestAlgorithm::Md5, DigestAlgorithm::Sha1, DigestAlgorithm::Sha256,
                                    DigestAlgorithm::Sha384, DigestAlgorithm::Sha512})
    EXPECT_EQ(digestOf(algorithm, "abc").size(), 2 * platform::digestSize(algorithm));
}

TEST(Digest, PiecesAddUpAndValueLeavesTheDigestOpen) {
  platform::Digest digest(platform::DigestAlgorithm::Sha1);
  ASSERT_TRUE(digest.valid());
  ASSERT_TRUE(digest.update(std::string_view("a")));
  EXPECT_EQ(hex(digest.value().value()), "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8");
  ASSERT_TRUE(digest.update(std::string_view("bc")));
  EXPECT_EQ(hex(digest.value().value()), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(digest.value()->size(), platform::kSha1DigestSize);
}
