// The parts of a PE32 or PE32+ image that an Authenticode check reads: the
// place of the checksum field and of the certificate-table directory entry,
// the certificate table and its first WIN_CERTIFICATE, and the image digest
// over everything else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

struct PeLayout {
  bool pe32Plus = false;          // optional header magic 0x20B
  std::size_t checksumOffset = 0; // file offset of the 4-byte CheckSum
  bool hasCertificateEntry = false; // the directory has an entry 4 (security)
  std::size_t certificateEntryOffset = 0; // file offset of that 8-byte entry
  std::uint32_t tableOffset = 0;  // certificate table: file offset (entry's address)
  std::uint32_t tableSize = 0;    // and size, as the entry gives them
};

enum class PeParse {
  Image,         // a PE image; layout filled
  NotPe,         // does not begin with the "MZ" of a DOS header
  Malformed,     // "MZ" but the headers do not make a PE32 or PE32+ image
};

// Reads the headers. Never reads outside the bytes.
PeParse parsePeImage(std::span<const std::uint8_t> image, PeLayout& layout);

enum class SignatureBlob {
  Found,          // blob filled: the bCertificate bytes of the first entry
  NoTable,        // no certificate table (no entry, or an empty one)
  BadTable,       // the table or its first entry lies outside the file
  NotPkcsSigned,  // the first entry is no revision 2.0 PKCS_SIGNED_DATA
};

// The bCertificate bytes of the first WIN_CERTIFICATE of the table (up to
// its dwLength, padding included).
SignatureBlob firstSignatureBlob(std::span<const std::uint8_t> image, const PeLayout& layout,
                                 std::span<const std::uint8_t>& blob);

// Calls consume(chunk) for every range of the image that the Authenticode
// digest covers, in file order: all bytes except the checksum field, the
// certificate-table directory entry and the certificate table itself (bytes
// after the table are covered). The layout must come from parsePeImage on
// the same bytes and its table must lie inside them.
template <typename Consume>
void forEachDigestRange(std::span<const std::uint8_t> image, const PeLayout& layout,
                        Consume&& consume) {
  std::size_t cursor = 0;
  auto skip = [&](std::size_t from, std::size_t length) {
    if (from > cursor)
      consume(image.subspan(cursor, from - cursor));
    if (from + length > cursor)
      cursor = from + length;
  };
  skip(layout.checksumOffset, 4);
  if (layout.hasCertificateEntry) {
    skip(layout.certificateEntryOffset, 8);
    if (layout.tableSize != 0)
      skip(layout.tableOffset, layout.tableSize);
  }
  if (cursor < image.size())
    consume(image.subspan(cursor));
}

} // namespace platform
