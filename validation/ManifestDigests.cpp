// Digest attributes of manifests and signature files, and the check that a
// signature file agrees with its manifest.
#include "validation/ManifestDigests.h"

#include "platform/Digest.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kLineBreak = "\r\n";
constexpr std::size_t kLineBreakLength = 2;
// Texts this short hold no named section.
constexpr std::size_t kShortestText = 3;

int base64Value(char c) {
  std::size_t index = kBase64Alphabet.find(c);
  return index == std::string_view::npos ? -1 : int(index);
}

// The name of the section whose "Name: " starts at nameAt and whose digest
// attribute starts at digestAt: the bytes in between without the line break
// before the attribute, continuations removed. An attribute that begins
// before the name could hold one line break gives an empty name.
std::string sectionName(std::string_view text, std::size_t nameAt, std::size_t digestAt) {
  std::size_t from = nameAt + kNameAttribute.size();
  std::size_t to = digestAt >= from + kLineBreakLength ? digestAt - kLineBreakLength : from;
  std::string name(text.substr(from, to - from));
  removeContinuations(name);
  return name;
}

// Where the value that starts at valueAt ends: the next line feed that no
// continuation line (one starting with a blank) follows; npos when the
// text ends first. Values longer than a line, as the SHA-384 and SHA-512
// ones are, go on over continuation lines.
std::size_t valueEnd(std::string_view text, std::size_t valueAt) {
  std::size_t end = text.find('\n', valueAt + 1);
  while (end != std::string_view::npos && end + 1 < text.size() && text[end + 1] == ' ')
    end = text.find('\n', end + 1);
  return end;
}

// The Base64 of a value with its continuations joined: each line break
// ("\r\n" or "\n") and the blank after it removed.
std::string decodeValue(std::string_view value) {
  std::string joined;
  joined.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\r' && i + 2 < value.size() && value[i + 1] == '\n' && value[i + 2] == ' ')
      i += 2;
    else if (value[i] == '\n' && i + 1 < value.size() && value[i + 1] == ' ')
      i += 1;
    else
      joined += value[i];
  }
  return decodeDigestBase64(joined);
}

// The bytes from valueAt up to end (npos: the end of the text).
std::string_view valueText(std::string_view text, std::size_t valueAt, std::size_t end) {
  if (valueAt > text.size())
    return {};
  if (end == std::string_view::npos || end < valueAt)
    return text.substr(valueAt);
  return text.substr(valueAt, end - valueAt);
}

std::string asText(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// True when the value from the file is the whole computed digest. An
// empty, cut or longer value never matches, nor does a digest that could
// not be computed.
bool sameDigest(std::string_view computed, std::string_view expected) {
  return !computed.empty() && computed == expected;
}

std::optional<std::string> digestOf(platform::DigestAlgorithm algorithm, std::string_view bytes) {
  platform::Digest digest(algorithm);
  if (!digest.valid() || !digest.update(bytes))
    return std::nullopt;
  std::optional<std::vector<std::uint8_t>> value = digest.value();
  if (!value)
    return std::nullopt;
  return asText(*value);
}

} // namespace

platform::DigestAlgorithm entryDigestAlgorithm(std::string_view entryPrefix) {
  for (const DigestForm& form : kDigestForms) {
    if (form.entry == entryPrefix)
      return form.algorithm;
  }
  return platform::DigestAlgorithm::Sha1;
}

std::string decodeDigestBase64(std::string_view text) {
  std::string bytes;
  std::uint32_t group = 0;
  int count = 0;
  for (char c : text) {
    int value = base64Value(c);
    if (value < 0)
      break; // "=", a line break or anything else ends the value
    group = (group << 6) | std::uint32_t(value);
    if (++count == 4) {
      bytes += char((group >> 16) & 0xFF);
      bytes += char((group >> 8) & 0xFF);
      bytes += char(group & 0xFF);
      group = 0;
      count = 0;
    }
  }
  if (count == 2) {
    bytes += char((group >> 4) & 0xFF);
  } else if (count == 3) {
    bytes += char((group >> 10) & 0xFF);
    bytes += char((group >> 2) & 0xFF);
  }
  return bytes;
}

void removeContinuations(std::string& name) {
  for (;;) {
    std::size_t at = name.find(kLineBreak);
    if (at == std::string::npos)
      return;
    name.erase(at, std::min<std::size_t>(kLineBreakLength + 1, name.size() - at));
  }
}

void parseDigestEntries(std::string_view text, std::string_view prefix, DigestMap& digests) {
  if (text.size() <= kShortestText)
    return;
  constexpr auto npos = std::string_view::npos;
  std::size_t nameFrom = 0;  // where the next "Name: " is looked for
  std::size_t valueFrom = 0; // where the next digest value is looked for
  for (;;) {
    std::size_t nameAt = text.find(kNameAttribute, nameFrom);
    if (nameAt == npos)
      return;
    std::size_t digestAt = text.find(prefix, nameAt + 1);
    if (digestAt == npos)
      return;
    std::string name = sectionName(text, nameAt, digestAt);

    std::size_t valueAt = text.find(prefix, valueFrom);
    if (valueAt == npos)
      return;
    std::size_t end = valueEnd(text, valueAt);
    if (end == npos)
      return;
    valueFrom = end;
    digests.insert_or_assign(std::move(name),
                             decodeValue(valueText(text, valueAt + prefix.size(), end)));

    nameFrom = digestAt;
    if (digestAt + kShortestText >= text.size())
      return;
  }
}

DigestMap sectionDigests(std::string_view manifest, std::string_view prefix) {
  DigestMap digests;
  const platform::DigestAlgorithm algorithm = entryDigestAlgorithm(prefix);
  if (!platform::Digest(algorithm).valid())
    return digests;
  if (manifest.size() <= kShortestText)
    return digests;
  constexpr auto npos = std::string_view::npos;
  std::size_t nameFrom = 0;    // where the next named section's name is looked for
  std::size_t sectionFrom = 0; // where the next section's bytes begin
  for (;;) {
    std::size_t nameAt = manifest.find(kNameAttribute, nameFrom);
    if (nameAt == npos)
      return digests;
    std::size_t digestAt = manifest.find(prefix, nameAt + 1);
    if (digestAt == npos)
      return digests;
    nameFrom = digestAt;
    std::string name = sectionName(manifest, nameAt, digestAt);

    std::size_t sectionAt = manifest.find(kNameAttribute, sectionFrom);
    if (sectionAt == npos)
      return digests;
    std::size_t nextSectionAt = manifest.find(kNameAttribute, sectionAt + 1);
    sectionFrom = nextSectionAt;
    if (std::optional<std::string> digest =
            digestOf(algorithm, valueText(manifest, sectionAt, nextSectionAt)))
      digests.insert_or_assign(std::move(name), std::move(*digest));

    if (digestAt + kShortestText >= manifest.size())
      return digests;
  }
}

bool verifySignatureFile(std::string_view signatureFile, std::string_view manifest,
                         std::string& entryDigestPrefix, std::string& manifestDigestPrefix) {
  if (signatureFile.empty() || manifest.empty())
    return false;

  std::size_t attributeAt = signatureFile.find(manifestDigestPrefix);
  if (attributeAt == std::string_view::npos) {
    // The second form: it holds for the member digests of this check too.
    entryDigestPrefix = kSha1EntryDigest;
    manifestDigestPrefix = kSha1ManifestDigest;
    attributeAt = signatureFile.find(manifestDigestPrefix);
  }
  // Then the further forms, the first one the file carries.
  for (const DigestForm& form : std::span(kDigestForms).subspan(2)) {
    if (attributeAt != std::string_view::npos)
      break;
    attributeAt = signatureFile.find(form.manifest);
    if (attributeAt != std::string_view::npos) {
      entryDigestPrefix = form.entry;
      manifestDigestPrefix = form.manifest;
    }
  }
  if (attributeAt == std::string_view::npos)
    return false;
  std::optional<std::string> manifestDigest =
      digestOf(entryDigestAlgorithm(entryDigestPrefix), manifest);
  if (!manifestDigest)
    return false;
  std::string expected = decodeValue(valueText(
      signatureFile, attributeAt + manifestDigestPrefix.size(), valueEnd(signatureFile, attributeAt)));
  if (!sameDigest(*manifestDigest, expected))
    return false;

  DigestMap listed;
  parseDigestEntries(signatureFile, entryDigestPrefix, listed);
  DigestMap computed = sectionDigests(manifest, entryDigestPrefix);
  if (listed.size() != computed.size())
    return false;
  for (const auto& [name, digest] : computed) {
    // A section the signature file does not list is looked up as an empty
    // value, which matches no digest.
    if (!sameDigest(digest, listed[name]))
      return false;
  }
  return true;
}
