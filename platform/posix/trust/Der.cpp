// The DER element reader on OpenSSL's ASN1_get_object.
#include "platform/posix/trust/Der.h"

#include "platform/posix/trust/OpenSslPtr.h"

#include <openssl/objects.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>

namespace platform {

bool readDerElement(std::span<const std::uint8_t>& input, DerElement& element) {
  if (input.empty())
    return false;
  const unsigned char* cursor = input.data();
  long length = 0;
  // OpenSSL takes the length as a long; no element is longer than that.
  const long available = static_cast<long>(std::min<std::size_t>(input.size(), LONG_MAX));
  const int flags =
      ASN1_get_object(&cursor, &length, &element.tag, &element.tagClass, available);
  if ((flags & 0x80) != 0 || (flags & 0x01) != 0 || length < 0)
    return false;
  const std::size_t header = static_cast<std::size_t>(cursor - input.data());
  if (header + static_cast<std::size_t>(length) > input.size())
    return false;
  element.encoding = input.subspan(0, header + static_cast<std::size_t>(length));
  element.contents = input.subspan(header, static_cast<std::size_t>(length));
  input = input.subspan(element.encoding.size());
  return true;
}

namespace {

// Appends the decimal digits of value to text.
void appendDecimal(std::string& text, std::uint64_t value) {
  char digits[20];
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, written.ptr);
}

} // namespace

bool derObjectText(std::span<const std::uint8_t> contents, std::string& text) {
  if (contents.empty() || (contents.back() & 0x80) != 0)
    return false;
  std::string dotted;
  dotted.reserve(4 * contents.size());
  std::uint64_t arc = 0;
  bool first = true;
  bool starting = true; // at the first octet of a subidentifier
  for (std::uint8_t octet : contents) {
    if (starting && octet == 0x80)
      return false; // not the shortest form
    starting = false;
    if (arc > (UINT64_MAX >> 7))
      return false;
    arc = (arc << 7) | (octet & 0x7F);
    if ((octet & 0x80) != 0)
      continue;
    if (first) { // the first subidentifier holds the first two arcs
      const std::uint64_t top = arc < 40 ? 0 : arc < 80 ? 1 : 2;
      appendDecimal(dotted, top);
      dotted += '.';
      appendDecimal(dotted, arc - 40 * top);
      first = false;
    } else {
      dotted += '.';
      appendDecimal(dotted, arc);
    }
    arc = 0;
    starting = true;
  }
  text = std::move(dotted);
  return true;
}

bool isDerObject(const DerElement& element, const char* dotted) {
  if (!element.is(V_ASN1_UNIVERSAL, V_ASN1_OBJECT))
    return false;
  std::string text;
  if (derObjectText(element.contents, text))
    return text == dotted;
  const unsigned char* cursor = element.encoding.data();
  ASN1_OBJECT_ptr object(
      d2i_ASN1_OBJECT(nullptr, &cursor, static_cast<long>(element.encoding.size())));
  ASN1_OBJECT_ptr expected(OBJ_txt2obj(dotted, 1));
  return object && expected && OBJ_cmp(object.get(), expected.get()) == 0;
}

} // namespace platform
