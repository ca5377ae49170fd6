// Signature blocks: reading a PKCS#7 block, its certificates in stored
// order, the first signer's signature, RSA key import and the RSA PKCS#1
// verification over the MD5 of the signed bytes.
#include "platform/Pkcs7Block.h"

#include "Fixtures.h"
#include "platform/WineHost.h"
#include "validation/CertificateNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string blockPath(const std::string& name) { return fixtures::folder("jar") + "/blocks/" + name; }

platform::Pkcs7Block readBlock(const std::string& name) {
  std::optional<platform::Pkcs7Block> block =
      platform::parsePkcs7Block(fixtures::readBytes(blockPath(name + ".rsa")));
  EXPECT_TRUE(block) << name;
  return block.value_or(platform::Pkcs7Block{});
}

platform::Digest md5Of(const std::vector<std::uint8_t>& bytes) {
  platform::Digest digest(platform::DigestAlgorithm::Md5);
  digest.update(bytes);
  return digest;
}

std::vector<std::uint8_t> reversed(const std::vector<std::uint8_t>& bytes) {
  return {bytes.rbegin(), bytes.rend()};
}

std::u16string thumbprintOf(const std::string& certificate) {
  std::string text =
      fixtures::readLine(fixtures::folder("jar") + "/certs/" + certificate + ".thumbprint");
  return std::u16string(text.begin(), text.end());
}

// The block with its outer SEQUENCE re-encoded with an indefinite length:
// BER, as some signing tools write, where DER has a definite length.
std::vector<std::uint8_t> withIndefiniteLength(const std::vector<std::uint8_t>& der) {
  if (der.size() < 2 || der[0] != 0x30)
    return {};
  std::size_t header = 2;
  if (der[1] & 0x80)
    header += der[1] & 0x7f;
  std::vector<std::uint8_t> ber = {0x30, 0x80};
  ber.insert(ber.end(), der.begin() + std::ptrdiff_t(header), der.end());
  ber.insert(ber.end(), {0x00, 0x00});
  return ber;
}

} // namespace

TEST(Pkcs7Block, SignerKeyVerifiesLittleEndianSignatureOverMd5) {
  platform::Pkcs7Block block = readBlock("md5");
  ASSERT_EQ(block.certificates.size(), 1u);
  EXPECT_EQ(certificateThumbprint(block.certificates[0]), thumbprintOf("signer"));
  ASSERT_TRUE(block.firstSignerSignature);
  const std::vector<std::uint8_t>& signature = *block.firstSignerSignature;
  EXPECT_EQ(signature.size(), 256u); // RSA-2048

  std::optional<platform::RsaPublicKey> key = platform::RsaPublicKey::import(block.certificates[0]);
  ASSERT_TRUE(key);
  std::vector<std::uint8_t> signed_ = fixtures::readBytes(blockPath("md5.sf"));
  EXPECT_TRUE(key->verifyMd5Signature(md5Of(signed_), reversed(signature)));
  // The stored (big-endian) order does not verify, nor other bytes.
  EXPECT_FALSE(key->verifyMd5Signature(md5Of(signed_), signature));
  signed_.push_back('\n');
  EXPECT_FALSE(key->verifyMd5Signature(md5Of(signed_), reversed(signature)));
}

TEST(Pkcs7Block, VerificationWantsAnMd5DigestObject) {
  platform::Pkcs7Block block = readBlock("md5");
  ASSERT_FALSE(block.certificates.empty());
  std::optional<platform::RsaPublicKey> key = platform::RsaPublicKey::import(block.certificates[0]);
  ASSERT_TRUE(key);
  platform::Digest sha1(platform::DigestAlgorithm::Sha1);
  sha1.update(fixtures::readBytes(blockPath("md5.sf")));
  EXPECT_FALSE(key->verifyMd5Signature(sha1, reversed(*block.firstSignerSignature)));
}

TEST(Pkcs7Block, CertificatesComeInStoredOrder) {
  platform::Pkcs7Block block = readBlock("intermediate-first");
  ASSERT_EQ(block.certificates.size(), 2u);
  EXPECT_EQ(certificateDisplayName(block.certificates[0]), u"Fixture Intermediate");
  EXPECT_EQ(certificateThumbprint(block.certificates[1]), thumbprintOf("signer"));
  std::vector<std::uint8_t> signature = reversed(block.firstSignerSignature.value());
  platform::Digest md5 = md5Of(fixtures::readBytes(blockPath("intermediate-first.sf")));
  EXPECT_FALSE(platform::RsaPublicKey::import(block.certificates[0])->verifyMd5Signature(md5, signature));
  EXPECT_TRUE(platform::RsaPublicKey::import(block.certificates[1])->verifyMd5Signature(md5, signature));
}

TEST(Pkcs7Block, KeysOtherThanRsaAreNotImported) {
  platform::Pkcs7Block ecFirst = readBlock("ec-first");
  ASSERT_EQ(ecFirst.certificates.size(), 2u);
  EXPECT_EQ(certificateThumbprint(ecFirst.certificates[0]), thumbprintOf("ec"));
  EXPECT_FALSE(platform::RsaPublicKey::import(ecFirst.certificates[0]));
  EXPECT_TRUE(platform::RsaPublicKey::import(ecFirst.certificates[1]));

  platform::Pkcs7Block dsa = readBlock("dsa");
  ASSERT_EQ(dsa.certificates.size(), 1u);
  EXPECT_FALSE(platform::RsaPublicKey::import(dsa.certificates[0]));
  EXPECT_FALSE(platform::RsaPublicKey::import(platform::Certificate()));
}

TEST(Pkcs7Block, OtherDigestsAndSignedAttributesDoNotVerifyOverMd5) {
  for (const char* name : {"sha256", "signed-attributes"}) {
    platform::Pkcs7Block block = readBlock(name);
    ASSERT_EQ(block.certificates.size(), 1u) << name;
    std::optional<platform::RsaPublicKey> key = platform::RsaPublicKey::import(block.certificates[0]);
    ASSERT_TRUE(key) << name;
    platform::Digest md5 = md5Of(fixtures::readBytes(blockPath(std::string(name) + ".sf")));
    EXPECT_FALSE(key->verifyMd5Signature(md5, reversed(block.firstSignerSignature.value()))) << name;
  }
}

TEST(Pkcs7Block, BytesThatAreNoSignedBlock) {
  EXPECT_FALSE(platform::parsePkcs7Block({}));
  std::vector<std::uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'b', 'l', 'o', 'c', 'k'};
  EXPECT_FALSE(platform::parsePkcs7Block(text));
  // A lone certificate is no signed block.
  std::vector<std::uint8_t> block = fixtures::readBytes(blockPath("md5.rsa"));
  platform::Pkcs7Block parsed = readBlock("md5");
  std::span<const std::uint8_t> certificate = parsed.certificates.at(0).encoded();
  EXPECT_FALSE(platform::parsePkcs7Block(certificate));
  // Cut short.
  block.resize(block.size() / 2);
  EXPECT_FALSE(platform::parsePkcs7Block(block));
}

TEST(Pkcs7Block, DetachedSignersOfEachKeyAndDigest) {
  // jarsigner's blocks: the signer named by the block, over signed
  // attributes whose message digest is that of the signature file.
  for (const char* key : {"rsa", "dsa", "ec"}) {
    if (std::string(key) != "rsa" && platform::runningUnderWine())
      continue; // Wine's message verification imports RSA keys only
    for (const char* digest : {"sha1", "sha256", "sha384", "sha512"}) {
      const std::string name = std::string("jarsigner-") + key + "-" + digest;
      std::vector<std::uint8_t> block = fixtures::readBytes(blockPath(name + ".block"));
      std::vector<std::uint8_t> signed_ = fixtures::readBytes(blockPath(name + ".sf"));
      platform::Certificate signer = platform::verifyDetachedSigner(block, signed_);
      ASSERT_TRUE(signer) << name;
      EXPECT_NE(certificateDisplayName(signer).find(std::string(key) == "rsa" ? u"Orvia" : u"Fixture"),
                std::u16string::npos)
          << name;
      // One byte more in the signed file: its digest no longer matches.
      signed_.push_back('\n');
      EXPECT_FALSE(platform::verifyDetachedSigner(block, signed_)) << name;
      EXPECT_FALSE(platform::verifyDetachedSigner(block, {})) << name;
    }
  }
}

TEST(Pkcs7Block, DetachedSignersOverMd5AreRefused) {
  // MD5 verifies only in its oldest form (verifyMd5Signature), never as a
  // detached signer, with or without signed attributes.
  for (const char* name : {"md5", "signed-attributes"}) {
    EXPECT_FALSE(platform::verifyDetachedSigner(fixtures::readBytes(blockPath(std::string(name) + ".rsa")),
                                                fixtures::readBytes(blockPath(std::string(name) + ".sf"))))
        << name;
  }
  // The SHA-256 block without signed attributes verifies over the file itself.
  platform::Certificate signer = platform::verifyDetachedSigner(
      fixtures::readBytes(blockPath("sha256.rsa")), fixtures::readBytes(blockPath("sha256.sf")));
  EXPECT_EQ(certificateThumbprint(signer), thumbprintOf("signer"));
  EXPECT_FALSE(platform::verifyDetachedSigner({}, fixtures::readBytes(blockPath("sha256.sf"))));
}

TEST(Pkcs7Block, BerBlocksReadAsTheirDerForm) {
  for (const char* name : {"md5", "intermediate-first"}) {
    const std::vector<std::uint8_t> der = fixtures::readBytes(blockPath(std::string(name) + ".rsa"));
    std::optional<platform::Pkcs7Block> fromDer = platform::parsePkcs7Block(der);
    std::optional<platform::Pkcs7Block> fromBer = platform::parsePkcs7Block(withIndefiniteLength(der));
    ASSERT_TRUE(fromDer && fromBer) << name;
    ASSERT_EQ(fromBer->certificates.size(), fromDer->certificates.size()) << name;
    for (std::size_t i = 0; i < fromDer->certificates.size(); ++i)
      EXPECT_EQ(certificateThumbprint(fromBer->certificates[i]),
                certificateThumbprint(fromDer->certificates[i]))
          << name;
    EXPECT_EQ(fromBer->firstSignerSignature, fromDer->firstSignerSignature) << name;
  }
  const std::string name = "jarsigner-rsa-sha256";
  std::vector<std::uint8_t> block = withIndefiniteLength(fixtures::readBytes(blockPath(name + ".block")));
  std::vector<std::uint8_t> signed_ = fixtures::readBytes(blockPath(name + ".sf"));
  EXPECT_TRUE(platform::verifyDetachedSigner(block, signed_));
  signed_.push_back('\n');
  EXPECT_FALSE(platform::verifyDetachedSigner(block, signed_));
}
