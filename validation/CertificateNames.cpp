// Display name and thumbprint of a certificate, from the platform's
// certificate services.
#include "validation/CertificateNames.h"

#include "util/Text.h"

#include <cstdint>
#include <vector>

std::u16string certificateDisplayName(const platform::Certificate& certificate) {
  std::u16string name = platform::certSimpleDisplayName(certificate);
  // The platform hands the name over as a zero-terminated buffer: what
  // follows a zero unit inside a value is never seen.
  std::size_t end = name.find(u'\0');
  if (end != std::u16string::npos)
    name.resize(end);
  return name;
}

std::u16string certificateThumbprint(const platform::Certificate& certificate) {
  std::vector<std::uint8_t> hash = platform::certSha1Hash(certificate);
  if (hash.size() <= 1)
    return {};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(hash.size() * 2);
  for (std::uint8_t byte : hash) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  std::u16string text;
  utf8ToWide(hex, text);
  return text;
}
