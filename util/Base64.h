// Lenient Base64 decoding, as used for the pictures embedded in the scan
// configuration and in the installer's database.
#pragma once

#include <cstddef>
#include <cstdint>

// Decodes byteCount bytes of text (stopping early at a zero byte that starts
// a group) into output. Bytes outside the alphabet are skipped; padding is
// not needed. capacity holds the output size on entry and the full decoded
// length on return. False when text or capacity is missing, or the decoded
// data did not fit (nothing past the capacity is written).
bool base64Decode(std::size_t byteCount, const char* text, std::uint8_t* output,
                  std::size_t& capacity);
