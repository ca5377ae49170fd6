// The DER element reader on OpenSSL's ASN1_get_object.
#include "platform/posix/trust/Der.h"

#include "platform/posix/trust/OpenSslPtr.h"

#include <openssl/objects.h>

namespace platform {

bool readDerElement(std::span<const std::uint8_t>& input, DerElement& element) {
  if (input.empty())
    return false;
  const unsigned char* cursor = input.data();
  long length = 0;
  const int flags = ASN1_get_object(&cursor, &length, &element.tag, &element.tagClass,
                                    static_cast<long>(input.size()));
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

bool isDerObject(const DerElement& element, const char* dotted) {
  if (!element.is(V_ASN1_UNIVERSAL, V_ASN1_OBJECT))
    return false;
  const unsigned char* cursor = element.encoding.data();
  ASN1_OBJECT_ptr object(
      d2i_ASN1_OBJECT(nullptr, &cursor, static_cast<long>(element.encoding.size())));
  ASN1_OBJECT_ptr expected(OBJ_txt2obj(dotted, 1));
  return object && expected && OBJ_cmp(object.get(), expected.get()) == 0;
}

} // namespace platform
