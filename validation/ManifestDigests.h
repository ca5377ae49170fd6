// The text side of the signed-archive check: digest attributes of the
// manifest and of the signature file, their Base64 values, the digests of
// the manifest and of its sections, and whether the signature file agrees
// with the manifest.
//
// Everything works on the members' raw bytes. There is no character
// decoding and no line splitting: names, attributes and values are found by
// plain, case-sensitive byte searches, and a value runs up to the next line
// feed that no continuation line follows (a carriage return before it stays
// in the value and ends its Base64; continuations are joined).
#pragma once

#include "platform/Digest.h"

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
inline constexpr std::string_view kSha1HyphenEntryDigest = "SHA-1-Digest: ";
inline constexpr std::string_view kSha1HyphenManifestDigest = "SHA-1-Digest-Manifest: ";
inline constexpr std::string_view kSha256EntryDigest = "SHA-256-Digest: ";
inline constexpr std::string_view kSha256ManifestDigest = "SHA-256-Digest-Manifest: ";
inline constexpr std::string_view kSha384EntryDigest = "SHA-384-Digest: ";
inline constexpr std::string_view kSha384ManifestDigest = "SHA-384-Digest-Manifest: ";
inline constexpr std::string_view kSha512EntryDigest = "SHA-512-Digest: ";
inline constexpr std::string_view kSha512ManifestDigest = "SHA-512-Digest-Manifest: ";

// One form of the digest attributes: the per-entry and whole-manifest
// prefixes and the algorithm of their values.
struct DigestForm {
  std::string_view entry;
  std::string_view manifest;
  platform::DigestAlgorithm algorithm;
};

// The forms a signature file may use, in the order it is searched for
// them: the three spellings of SHA-1, then the SHA-2 forms.
inline constexpr DigestForm kDigestForms[] = {
    {kShaEntryDigest, kShaManifestDigest, platform::DigestAlgorithm::Sha1},
    {kSha1EntryDigest, kSha1ManifestDigest, platform::DigestAlgorithm::Sha1},
    {kSha1HyphenEntryDigest, kSha1HyphenManifestDigest, platform::DigestAlgorithm::Sha1},
    {kSha256EntryDigest, kSha256ManifestDigest, platform::DigestAlgorithm::Sha256},
    {kSha384EntryDigest, kSha384ManifestDigest, platform::DigestAlgorithm::Sha384},
    {kSha512EntryDigest, kSha512ManifestDigest, platform::DigestAlgorithm::Sha512},
};

// The algorithm of the values of an entry digest prefix of kDigestForms
// (SHA-1 for any other text).
platform::DigestAlgorithm entryDigestAlgorithm(std::string_view entryPrefix);

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

// The digest of each named section of the manifest (from its "Name: " up to
// the next one or the end), with the algorithm of prefix, keyed by the
// section's name. Empty when the text
// has 3 bytes or fewer or no digest can be computed.
DigestMap sectionDigests(std::string_view manifest, std::string_view prefix);

// True when the signature file's whole-manifest digest and its per-section
// digests agree with the manifest. When the file lacks the first form of the
// whole-manifest attribute, both prefixes are switched to the "SHA1-" forms,
// and when it lacks that too, to the first further form of kDigestForms it
// carries; the switch stays for the rest of the caller's check. A decoded value must
// be the whole computed digest: an empty or cut value matches nothing.
bool verifySignatureFile(std::string_view signatureFile, std::string_view manifest,
                         std::string& entryDigestPrefix, std::string& manifestDigestPrefix);
