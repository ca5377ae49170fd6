// The text side of the signed-archive check: digest attributes of the
// manifest and of the signature file, their Base64 values, the digests of
// the manifest and of its sections, and whether the signature file agrees
// with the manifest.
//
// Everything works on the members' raw bytes. There is no character
// decoding and no line splitting: names, attributes and values are found by
// plain, case-sensitive byte searches, and a value runs up to the next line
// feed (a carriage return before it stays in the value and ends its Base64).
#pragma once

#include <map>
#include <string>
#include <string_view>

// Entry name (bytes as stored) -> digest bytes, in byte order.
using DigestMap = std::map<std::string, std::string>;

// Attribute prefixes, each with its colon and the blank after it.
inline constexpr std::string_view kNameAttribute = "Name: ";
inline constexpr std::string_view kShaEntryDigest = "SHA-Digest: ";
inline constexpr std::string_view kShaManifestDigest = "SHA-Digest-Manifest: ";
inline constexpr std::string_view kSha1EntryDigest = "SHA1-Digest: ";
inline constexpr std::string_view kSha1ManifestDigest = "SHA1-Digest-Manifest: ";

// Decodes standard Base64 from the start of text up to the end, the first
// "=" or the first byte outside the alphabet. A final group of two
// characters gives one byte, of three two bytes, of one nothing.
std::string decodeDigestBase64(std::string_view text);

// Removes every line continuation from a name: each "\r\n" together with the
// one byte that follows it (the continuation blank).
void removeContinuations(std::string& name);

// Adds the "Name: " sections' digests (attribute prefix in use: prefix) of
// text to digests, a later name replacing an earlier one. Names and values
// are found by two separate walks that stay paired only while every named
// section has exactly one such attribute. A text of 3 bytes or fewer adds
// nothing.
void parseDigestEntries(std::string_view text, std::string_view prefix, DigestMap& digests);

// SHA-1 of each named section of the manifest (from its "Name: " up to the
// next one or the end), keyed by the section's name. Empty when the text
// has 3 bytes or fewer or no digest can be computed.
DigestMap sectionDigests(std::string_view manifest, std::string_view prefix);

// True when the signature file's whole-manifest digest and its per-section
// digests agree with the manifest. When the file lacks the first form of the
// whole-manifest attribute, both prefixes are switched to the "SHA1-" forms;
// the switch stays for the rest of the caller's check. A decoded value must
// be the whole computed digest: an empty or cut value matches nothing.
bool verifySignatureFile(std::string_view signatureFile, std::string_view manifest,
                         std::string& entryDigestPrefix, std::string& manifestDigestPrefix);
