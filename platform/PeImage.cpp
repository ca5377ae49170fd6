// PE header and certificate-table reading, bounds-checked throughout.
#include "platform/PeImage.h"

#include <algorithm>

namespace platform {
namespace {

constexpr std::size_t kDosHeaderSize = 0x40;
constexpr std::size_t kNewHeaderPointer = 0x3C;    // e_lfanew
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::size_t kChecksumField = 64;          // within the optional header
constexpr std::size_t kDirectoriesPe32 = 96;        // fixed part before the directories
constexpr std::size_t kDirectoriesPe32Plus = 112;
constexpr std::size_t kSecurityDirectory = 4;       // IMAGE_DIRECTORY_ENTRY_SECURITY
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kWinCertificateHeader = 8;    // dwLength, wRevision, wCertificateType
constexpr std::uint16_t kWinCertRevision2 = 0x0200;
constexpr std::uint16_t kWinCertTypePkcsSignedData = 0x0002;

std::uint16_t read16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t read32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

} // namespace

PeParse parsePeImage(std::span<const std::uint8_t> image, PeLayout& layout) {
  layout = PeLayout{};
  // The subject is recognised as a PE image by its DOS signature alone;
  // what follows it must then hold up, or the image is malformed.
  if (image.size() < 2 || image[0] != 'M' || image[1] != 'Z')
    return PeParse::NotPe;
  if (image.size() < kDosHeaderSize)
    return PeParse::Malformed;
  const std::uint64_t ntHeaders = read32(image, kNewHeaderPointer);
  const std::uint64_t optionalHeader = ntHeaders + 4 + kCoffHeaderSize;
  if (optionalHeader + 2 > image.size())
    return PeParse::Malformed;
  if (image[ntHeaders] != 'P' || image[ntHeaders + 1] != 'E' || image[ntHeaders + 2] != 0 ||
      image[ntHeaders + 3] != 0)
    return PeParse::Malformed;
  const std::size_t optionalSize = read16(image, ntHeaders + 4 + 16); // SizeOfOptionalHeader
  const std::uint16_t magic = read16(image, optionalHeader);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus)
    return PeParse::Malformed;
  layout.pe32Plus = magic == kMagicPe32Plus;
  const std::size_t fixedPart = layout.pe32Plus ? kDirectoriesPe32Plus : kDirectoriesPe32;
  if (optionalSize < fixedPart || optionalHeader + fixedPart > image.size())
    return PeParse::Malformed;
  layout.checksumOffset = optionalHeader + kChecksumField;
  // The directory count is what NumberOfRvaAndSizes says, as far as the
  // optional header's declared size holds entries.
  const std::uint64_t declared = read32(image, optionalHeader + fixedPart - 4);
  const std::uint64_t directories =
      std::min<std::uint64_t>(declared, (optionalSize - fixedPart) / kDirectoryEntrySize);
  if (directories <= kSecurityDirectory)
    return PeParse::Image;
  const std::uint64_t entry = optionalHeader + fixedPart + kSecurityDirectory * kDirectoryEntrySize;
  if (entry + kDirectoryEntrySize > image.size())
    return PeParse::Malformed;
  layout.hasCertificateEntry = true;
  layout.certificateEntryOffset = entry;
  layout.tableOffset = read32(image, entry);
  layout.tableSize = read32(image, entry + 4);
  return PeParse::Image;
}

SignatureBlob firstSignatureBlob(std::span<const std::uint8_t> image, const PeLayout& layout,
                                 std::span<const std::uint8_t>& blob) {
  blob = {};
  if (!layout.hasCertificateEntry || layout.tableOffset == 0 || layout.tableSize == 0)
    return SignatureBlob::NoTable;
  // The entry's address is a file offset. The table must lie inside the
  // file and after the headers that the digest covers, or the ranges the
  // digest skips would overlap.
  const std::uint64_t start = layout.tableOffset;
  const std::uint64_t end = start + layout.tableSize;
  if (end > image.size() || start < layout.certificateEntryOffset + kDirectoryEntrySize ||
      layout.tableSize < kWinCertificateHeader)
    return SignatureBlob::BadTable;
  const std::uint32_t length = read32(image, start);
  if (length < kWinCertificateHeader || length > layout.tableSize)
    return SignatureBlob::BadTable;
  if (read16(image, start + 4) != kWinCertRevision2 ||
      read16(image, start + 6) != kWinCertTypePkcsSignedData)
    return SignatureBlob::NotPkcsSigned;
  blob = image.subspan(start + kWinCertificateHeader, length - kWinCertificateHeader);
  return SignatureBlob::Found;
}

} // namespace platform
