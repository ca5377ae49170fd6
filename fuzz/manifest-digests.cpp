// Fuzz target: manifest and signature-file parsing. The input is a
// signature file and a manifest separated by the first zero byte; an input
// without one is used as both.
#include "validation/ManifestDigests.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition) {
  if (!condition)
    std::abort();
}

void checkDecoded(std::string_view value) {
  std::string bytes = decodeDigestBase64(value);
  require(bytes.size() <= value.size() * 3 / 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t split = input.find('\0');
  std::string_view signatureFile = input.substr(0, split);
  std::string_view manifest = split == std::string_view::npos ? input : input.substr(split + 1);

  checkDecoded(signatureFile);
  std::string name(manifest);
  removeContinuations(name);
  require(name.find("\r\n") == std::string::npos && name.size() <= manifest.size());

  for (const DigestForm& form : kDigestForms) {
    DigestMap entries;
    parseDigestEntries(manifest, form.entry, entries);
    for (const auto& [entryName, digest] : entries)
      require(entryName.size() <= manifest.size() && digest.size() <= manifest.size());
    const std::size_t digestSize = platform::digestSize(form.algorithm);
    DigestMap sections = sectionDigests(manifest, form.entry);
    for (const auto& [sectionName, digest] : sections)
      require(digest.size() == digestSize && sectionName.size() <= manifest.size());
  }

  // Whatever the signature file carries, the check ends on one of the known
  // forms, its two prefixes from the same form.
  std::string entryPrefix(kShaEntryDigest);
  std::string manifestPrefix(kShaManifestDigest);
  verifySignatureFile(signatureFile, manifest, entryPrefix, manifestPrefix);
  bool knownForm = false;
  for (const DigestForm& form : kDigestForms)
    knownForm = knownForm || (entryPrefix == form.entry && manifestPrefix == form.manifest);
  require(knownForm);
  return 0;
}
