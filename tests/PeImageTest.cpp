// Reading PE headers and the certificate table, and the ranges the image
// digest covers, on images damaged in one field at a time.
#include "platform/PeImage.h"

#include "AuthenticodeFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kNtHeaders = 0x80;            // where make-pe puts them
constexpr std::size_t kOptional = kNtHeaders + 24;
constexpr std::size_t kCertificateEntry32 = kOptional + 96 + 4 * 8;

Bytes image(const std::string& name) { return fixtures::readBytes(fixtures::authenticode("pe/" + name)); }

void put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = value & 0xFF;
  bytes[at + 1] = value >> 8;
}

void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = (value >> (8 * i)) & 0xFF;
}

PeParse parse(const Bytes& bytes, PeLayout& layout) { return parsePeImage(bytes, layout); }

SignatureBlob blobOf(const Bytes& bytes) {
  PeLayout layout;
  if (parse(bytes, layout) != PeParse::Image)
    return SignatureBlob::BadTable;
  std::span<const std::uint8_t> blob;
  return firstSignatureBlob(bytes, layout, blob);
}

} // namespace

TEST(PeImage, HeadersOfBothKinds) {
  PeLayout layout;
  ASSERT_EQ(parse(image("unsigned-32.exe"), layout), PeParse::Image);
  EXPECT_FALSE(layout.pe32Plus);
  EXPECT_EQ(layout.checksumOffset, kOptional + 64);
  EXPECT_EQ(layout.certificateEntryOffset, kCertificateEntry32);
  EXPECT_EQ(layout.tableSize, 0u);
  ASSERT_EQ(parse(image("unsigned-64.exe"), layout), PeParse::Image);
  EXPECT_TRUE(layout.pe32Plus);
  EXPECT_EQ(layout.certificateEntryOffset, kOptional + 112 + 4 * 8);
}

TEST(PeImage, OnlyTheDosSignatureMakesAnImageCandidate) {
  PeLayout layout;
  EXPECT_EQ(parse({}, layout), PeParse::NotPe);
  EXPECT_EQ(parse({'Z', 'M', 0, 0}, layout), PeParse::NotPe);
  EXPECT_EQ(parse({'M', 'Z'}, layout), PeParse::Malformed);

  const Bytes good = image("unsigned-32.exe");
  Bytes farHeaders = good;
  put32(farHeaders, 0x3C, 0xFFFFFFF0); // e_lfanew past the end, no overflow
  EXPECT_EQ(parse(farHeaders, layout), PeParse::Malformed);
  Bytes noSignature = good;
  noSignature[kNtHeaders + 1] = 'X';
  EXPECT_EQ(parse(noSignature, layout), PeParse::Malformed);
  Bytes romImage = good;
  put16(romImage, kOptional, 0x107);
  EXPECT_EQ(parse(romImage, layout), PeParse::Malformed);
  Bytes shortOptional = good;
  put16(shortOptional, kNtHeaders + 20, 64); // SizeOfOptionalHeader below the fixed part
  EXPECT_EQ(parse(shortOptional, layout), PeParse::Malformed);
  Bytes cut(good.begin(), good.begin() + kOptional + 50);
  EXPECT_EQ(parse(cut, layout), PeParse::Malformed);
}

TEST(PeImage, FewerThanFiveDirectoriesMeanNoCertificateTable) {
  PeLayout layout;
  Bytes signedImage = image("orvia-sha256-32.exe");
  Bytes fourDirectories = signedImage;
  put32(fourDirectories, kOptional + 92, 4); // NumberOfRvaAndSizes
  ASSERT_EQ(parse(fourDirectories, layout), PeParse::Image);
  EXPECT_FALSE(layout.hasCertificateEntry);
  EXPECT_EQ(blobOf(fourDirectories), SignatureBlob::NoTable);
  // Sixteen directories declared, room for four in the optional header.
  Bytes smallHeader = signedImage;
  put16(smallHeader, kNtHeaders + 20, 96 + 4 * 8);
  ASSERT_EQ(parse(smallHeader, layout), PeParse::Image);
  EXPECT_FALSE(layout.hasCertificateEntry);
}

TEST(PeImage, CertificateTableMustLieInsideTheFileAfterTheHeaders) {
  const Bytes signedImage = image("orvia-sha256-32.exe");
  EXPECT_EQ(blobOf(signedImage), SignatureBlob::Found);
  EXPECT_EQ(blobOf(image("unsigned-32.exe")), SignatureBlob::NoTable);

  PeLayout layout;
  parse(signedImage, layout);
  Bytes zeroAddress = signedImage;
  put32(zeroAddress, kCertificateEntry32, 0);
  EXPECT_EQ(blobOf(zeroAddress), SignatureBlob::NoTable);
  Bytes pastEnd = signedImage;
  put32(pastEnd, kCertificateEntry32 + 4, layout.tableSize + 8);
  EXPECT_EQ(blobOf(pastEnd), SignatureBlob::BadTable);
  Bytes hugeSize = signedImage;
  put32(hugeSize, kCertificateEntry32 + 4, 0xFFFFFFFF);
  EXPECT_EQ(blobOf(hugeSize), SignatureBlob::BadTable);
  Bytes overHeaders = signedImage;
  put32(overHeaders, kCertificateEntry32, 0x40);
  put32(overHeaders, kCertificateEntry32 + 4, 16);
  EXPECT_EQ(blobOf(overHeaders), SignatureBlob::BadTable);
  Bytes longEntry = signedImage;
  put32(longEntry, layout.tableOffset, layout.tableSize + 1); // dwLength beyond the table
  EXPECT_EQ(blobOf(longEntry), SignatureBlob::BadTable);
  Bytes shortEntry = signedImage;
  put32(shortEntry, layout.tableOffset, 7);
  EXPECT_EQ(blobOf(shortEntry), SignatureBlob::BadTable);
  Bytes x509Entry = signedImage;
  put16(x509Entry, layout.tableOffset + 6, 0x0001);
  EXPECT_EQ(blobOf(x509Entry), SignatureBlob::NotPkcsSigned);
}

TEST(PeImage, BlobIsTheFirstEntryUpToItsLength) {
  const Bytes signedImage = image("padded-32.exe");
  PeLayout layout;
  ASSERT_EQ(parse(signedImage, layout), PeParse::Image);
  std::span<const std::uint8_t> blob;
  ASSERT_EQ(firstSignatureBlob(signedImage, layout, blob), SignatureBlob::Found);
  const std::uint32_t length = signedImage[layout.tableOffset] |
                               (signedImage[layout.tableOffset + 1] << 8) |
                               (signedImage[layout.tableOffset + 2] << 16);
  EXPECT_EQ(blob.data(), signedImage.data() + layout.tableOffset + 8);
  EXPECT_EQ(blob.size(), length - 8);
  EXPECT_EQ(blob.back(), 0xA5); // the padding pe-signature put behind the block
}

TEST(PeImage, DigestCoversAllButChecksumEntryAndTable) {
  Bytes signedImage = image("orvia-sha256-32.exe");
  const Bytes trailer = {'t', 'a', 'i', 'l'};
  signedImage.insert(signedImage.end(), trailer.begin(), trailer.end());
  PeLayout layout;
  ASSERT_EQ(parse(signedImage, layout), PeParse::Image);
  Bytes covered;
  forEachDigestRange(signedImage, layout, [&](std::span<const std::uint8_t> range) {
    covered.insert(covered.end(), range.begin(), range.end());
  });
  Bytes expected(signedImage.begin(), signedImage.begin() + layout.checksumOffset);
  expected.insert(expected.end(), signedImage.begin() + layout.checksumOffset + 4,
                  signedImage.begin() + layout.certificateEntryOffset);
  expected.insert(expected.end(), signedImage.begin() + layout.certificateEntryOffset + 8,
                  signedImage.begin() + layout.tableOffset);
  expected.insert(expected.end(), trailer.begin(), trailer.end());
  EXPECT_EQ(covered, expected);
}
