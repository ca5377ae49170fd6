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

  for (std::string_view prefix : {kShaEntryDigest, kSha1EntryDigest}) {
    DigestMap entries;
    parseDigestEntries(manifest, prefix, entries);
    for (const auto& [entryName, digest] : entries)
      require(entryName.size() <= manifest.size() && digest.size() <= manifest.size());
    DigestMap sections = sectionDigests(manifest, prefix);
    for (const auto& [sectionName, digest] : sections)
      require(digest.size() == 20 && sectionName.size() <= manifest.size());
  }

  std::string entryPrefix(kShaEntryDigest);
  std::string manifestPrefix(kShaManifestDigest);
  verifySignatureFile(signatureFile, manifest, entryPrefix, manifestPrefix);
  require((entryPrefix == kShaEntryDigest && manifestPrefix == kShaManifestDigest) ||
          (entryPrefix == kSha1EntryDigest && manifestPrefix == kSha1ManifestDigest));
  return 0;
}
