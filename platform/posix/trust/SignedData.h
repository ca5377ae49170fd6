// A PKCS#7 / CMS SignedData read element by element: its encapsulated
// content, its certificates (through the certificate cache, so that known
// ones are not decoded again) and its first SignerInfo. For the signature
// blocks of signed images and their time-stamp tokens; platform code only.
#pragma once

#include "platform/posix/trust/OpenSslPtr.h"

#include <cstdint>
#include <span>
#include <vector>

namespace platform {

struct SignedDataParts {
  std::span<const std::uint8_t> content; // the encapsulated content element, whole
  X509_STACK_ptr certificates;           // the X.509 certificates, in order
  PKCS7_SIGNER_INFO_ptr firstSigner;     // decoded as PKCS#7 (issuer and serial number)
};

// Reads ContentInfo { signedData, [0] SignedData } from the start of der
// (bytes after it are ignored) whose encapsulated content type is the
// object identifier contentType (dotted text), or of any type when
// contentType is null. A SignedData without encapsulated content (a
// detached signature) leaves parts.content empty. Choices of the certificate
// set other than X.509 certificates (attribute certificates) are passed
// over. False for anything else, including BER with indefinite lengths, a
// certificate that does not decode, and a first signer that is no PKCS#7
// SignerInfo (identified by a key identifier, say); the spans of parts
// point into der.
bool readSignedData(std::span<const std::uint8_t> der, const char* contentType,
                    SignedDataParts& parts);

// The encodings of the X.509 certificates of a SignedData at the start of
// der, exactly as they are stored, in order, whatever its content type.
// False when der is no SignedData the element walk can read (BER with
// indefinite lengths, say).
bool signedDataCertificateEncodings(std::span<const std::uint8_t> der,
                                    std::vector<std::span<const std::uint8_t>>& encodings);

// The contents octets of the DER element at the start of element (what
// follows its tag and length); empty when it is no definite-length element.
std::span<const std::uint8_t> derContents(std::span<const std::uint8_t> element);

} // namespace platform
