// The two certificate facts every validator reports about a signer: its
// simple display name and its SHA-1 thumbprint as text.
#pragma once

#include "platform/Certificate.h"

#include <string>

// The simple display name of the certificate, taken up to its first zero
// unit; empty when the platform gives no name (or a name of no characters).
std::u16string certificateDisplayName(const platform::Certificate& certificate);

// The SHA-1 hash of the encoded certificate as upper-case hexadecimal text,
// two digits per byte, high nibble first; empty when the platform gives no
// hash (or one of a single byte or less).
std::u16string certificateThumbprint(const platform::Certificate& certificate);
