// Reading DER one element at a time: the walk under the signature blocks,
// the certificate trust list and anything else the platform reads in place
// without decoding it whole. Platform code only.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace platform {

// One DER element: its tag and where its encoding and contents lie.
struct DerElement {
  int tag = 0;
  int tagClass = 0;
  std::span<const std::uint8_t> encoding; // tag, length and contents
  std::span<const std::uint8_t> contents;

  bool is(int expectedClass, int expectedTag) const {
    return tagClass == expectedClass && tag == expectedTag;
  }
};

// Reads the element at the start of input and moves input past it. False
// for anything but a well-formed definite-length element.
bool readDerElement(std::span<const std::uint8_t>& input, DerElement& element);

// True when the element is an OBJECT IDENTIFIER equal to dotted.
bool isDerObject(const DerElement& element, const char* dotted);

// The dotted text of the object identifier whose contents octets are given
// ("1.3.6.1.5.5.7.3.3"), read straight from the octets. False, text
// untouched, for contents that are no well-formed identifier (empty, cut
// short, a subidentifier with a leading 0x80 octet) and for arcs of more
// than 64 bits, which callers hand to OpenSSL instead.
bool derObjectText(std::span<const std::uint8_t> contents, std::string& text);

} // namespace platform
