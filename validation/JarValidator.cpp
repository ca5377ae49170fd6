// Signed-archive check over the ZIP reader and the platform's PKCS#7, RSA
// and digest services.
#include "validation/JarValidator.h"

#include "platform/Digest.h"
#include "platform/Pkcs7Block.h"
#include "platform/ZipFileFunctions.h"
#include "validation/CertificateNames.h"
#include "validation/ManifestDigests.h"
#include "validation/ValidationResult.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kMetaInfFolder = "META-INF/"; // compared case-sensitively
constexpr std::string_view kSignatureFileExtension = ".SF";
// Signature blocks by their key's algorithm, in the order they are looked
// for: the first ".RSA" member, else the first ".DSA", else the first ".EC".
constexpr std::string_view kSignatureBlockExtensions[] = {".RSA", ".DSA", ".EC"};
constexpr std::string_view kManifestExtension = ".MF";
// Members are hashed in pieces of this size, whatever size they declare.
constexpr unsigned kReadChunkSize = 64 * 1024;

struct ArchiveCloser {
  void operator()(void* archive) const { unzClose(archive); }
};
using Archive = std::unique_ptr<void, ArchiveCloser>;

// Closes the archive's current entry when it goes out of scope.
class OpenEntry {
public:
  explicit OpenEntry(unzFile archive) : archive(archive), open(unzOpenCurrentFile(archive) == UNZ_OK) {}
  ~OpenEntry() { close(); }
  void close() {
    if (open)
      unzCloseCurrentFile(archive);
    open = false;
  }
  OpenEntry(const OpenEntry&) = delete;
  OpenEntry& operator=(const OpenEntry&) = delete;
  bool isOpen() const { return open; }

private:
  unzFile archive;
  bool open;
};

struct EntryInfo {
  std::string name;                   // bytes as stored, up to a zero byte
  std::uint64_t uncompressedSize = 0; // as the archive declares it
};

// The current entry's name and declared size. The whole name is read,
// however long (the format allows 65535 bytes).
bool currentEntry(unzFile archive, EntryInfo& entry) {
  unz_file_info64 info;
  if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
    return false;
  std::string name(info.size_filename, '\0');
  if (!name.empty() && unzGetCurrentFileInfo64(archive, &info, name.data(), uLong(name.size()),
                                               nullptr, 0, nullptr, 0) != UNZ_OK)
    return false;
  name.resize(std::strlen(name.c_str()));
  entry.name = std::move(name);
  entry.uncompressedSize = info.uncompressed_size;
  return true;
}

bool inMetaInf(std::string_view name) { return name.starts_with(kMetaInfFolder); }

char foldAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 0x20) : c; }

// True when the text from the name's last "." equals extension, ignoring
// ASCII letter case.
bool hasExtension(std::string_view name, std::string_view extension) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos)
    return false;
  std::string_view tail = name.substr(dot);
  return std::ranges::equal(tail, extension,
                            [](char a, char b) { return foldAscii(a) == foldAscii(b); });
}

// Reads the first META-INF/ member (in central-directory order) with the
// extension, whole. Fails when there is none, when it cannot be opened, when
// it declares more than the limit, or when it yields no bytes. Keeps exactly
// the bytes that were read; memory grows with the bytes that arrive, not
// with the size the member declares.
bool readMetaInfMember(unzFile archive, std::string_view extension, std::string& contents) {
  if (unzGoToFirstFile(archive) != UNZ_OK)
    return false;
  EntryInfo entry;
  for (;;) {
    if (!currentEntry(archive, entry))
      return false;
    if (inMetaInf(entry.name) && hasExtension(entry.name, extension))
      break;
    if (unzGoToNextFile(archive) != UNZ_OK)
      return false;
  }
  if (entry.uncompressedSize > JarValidator::kMaxMetaInfMemberSize)
    return false;
  OpenEntry open(archive);
  if (!open.isOpen())
    return false;
  contents.clear();
  std::vector<char> chunk(kReadChunkSize);
  while (contents.size() < entry.uncompressedSize) {
    std::uint64_t left = entry.uncompressedSize - contents.size();
    unsigned wanted = unsigned(std::min<std::uint64_t>(left, kReadChunkSize));
    int read = unzReadCurrentFile(archive, chunk.data(), wanted);
    if (read < 0)
      return false;
    if (read == 0)
      break;
    contents.append(chunk.data(), std::size_t(read));
  }
  return !contents.empty();
}

std::span<const std::uint8_t> asBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Reads the first signature block: the first member of the first block
// extension that the archive has.
bool readSignatureBlock(unzFile archive, std::string& contents) {
  for (std::string_view extension : kSignatureBlockExtensions) {
    if (readMetaInfMember(archive, extension, contents))
      return true;
  }
  return false;
}

void recordSigner(const platform::Certificate& certificate, SignerInfo& signer) {
  signer.thumbprint = certificateThumbprint(certificate);
  signer.subjectNames = certificateDisplayName(certificate);
  signer.signingTime = FileTime{};
}

// True when a certificate of the block verifies the block's RSA signature
// over the MD5 digest of the signature file, without signed attributes, as
// the oldest signing tools signed; that certificate's facts then go into
// signer. A certificate whose key is not RSA ends the search.
bool verifyMd5Block(const std::string& block, const std::string& signatureFile,
                    SignerInfo& signer) {
  std::optional<platform::Pkcs7Block> parsed = platform::parsePkcs7Block(asBytes(block));
  if (!parsed || !parsed->firstSignerSignature)
    return false;
  platform::Digest md5(platform::DigestAlgorithm::Md5);
  if (!md5.valid())
    return false;
  // The block stores the signature big-endian; the verification takes it
  // little-endian.
  const std::vector<std::uint8_t>& stored = *parsed->firstSignerSignature;
  std::vector<std::uint8_t> reversed(stored.rbegin(), stored.rend());
  if (!md5.update(asBytes(signatureFile)))
    return false;
  for (const platform::Certificate& certificate : parsed->certificates) {
    std::optional<platform::RsaPublicKey> key = platform::RsaPublicKey::import(certificate);
    if (!key)
      return false;
    if (key->verifyMd5Signature(md5, reversed)) {
      recordSigner(certificate, signer);
      return true;
    }
  }
  return false;
}

// True when the block's signature over the signature file holds: in the
// oldest form (verifyMd5Block), or as signing tools sign today (its first
// signer, named by the block, over SHA-1 or SHA-2 with RSA, DSA or ECDSA,
// with or without signed attributes). The verifying certificate's facts go
// into signer.
bool verifySignatureBlock(const std::string& block, const std::string& signatureFile,
                          SignerInfo& signer) {
  if (block.empty() || signatureFile.empty())
    return false;
  if (verifyMd5Block(block, signatureFile, signer))
    return true;
  platform::Certificate verified =
      platform::verifyDetachedSigner(asBytes(block), asBytes(signatureFile));
  if (!verified)
    return false;
  recordSigner(verified, signer);
  return true;
}

// Compares the manifest's member digests with the members. The walk passes
// over META-INF/ members and folder entries and ends at the first other
// member the manifest does not list; it succeeds when every listed name was
// matched by a member whose digest (the algorithm of the prefix in use) is
// the listed value, whole.
bool verifyArchiveMembers(unzFile archive, const std::string& manifest,
                          const std::string& entryDigestPrefix) {
  DigestMap manifestDigests; // member name -> digest bytes, from the manifest
  parseDigestEntries(manifest, entryDigestPrefix, manifestDigests);
  const platform::DigestAlgorithm algorithm = entryDigestAlgorithm(entryDigestPrefix);
  unzGoToFirstFile(archive);
  unz_global_info64 global;
  std::uint64_t entryCount =
      unzGetGlobalInfo64(archive, &global) == UNZ_OK ? global.number_entry : 0;

  // Names, not members, are counted: a member that appears twice must not
  // make up for a listed member that is missing.
  std::set<std::string> matched;
  std::vector<char> chunk(kReadChunkSize);
  for (std::uint64_t index = 0; index < entryCount; ++index) {
    EntryInfo entry;
    if (!currentEntry(archive, entry))
      break;
    if (inMetaInf(entry.name) || entry.name.ends_with('/')) {
      unzGoToNextFile(archive);
      continue;
    }
    auto listed = manifestDigests.find(entry.name);
    if (listed == manifestDigests.end())
      break;
    OpenEntry open(archive);
    if (!open.isOpen())
      break;

    // Stream the member through the digest: only bytes actually read count,
    // and memory stays bounded whatever size the member declares.
    platform::Digest digester(algorithm);
    if (!digester.valid())
      break;
    std::uint64_t total = 0;
    int read = 0;
    bool hashed = true;
    while (hashed && (read = unzReadCurrentFile(archive, chunk.data(), kReadChunkSize)) > 0) {
      total += std::uint64_t(read);
      hashed = digester.update(std::string_view(chunk.data(), std::size_t(read)));
    }
    if (!hashed || read < 0 || total == 0)
      break;
    std::optional<std::vector<std::uint8_t>> digest = digester.value();
    if (!digest)
      break;
    const std::string& expected = listed->second;
    if (digest->empty() || expected.size() != digest->size() ||
        !std::equal(expected.begin(), expected.end(), digest->begin(),
                    [](char a, std::uint8_t b) { return std::uint8_t(a) == b; }))
      break;
    open.close();
    unzGoToNextFile(archive);
    matched.insert(listed->first);
  }
  return matched.size() == manifestDigests.size();
}

} // namespace

int JarValidator::validate(std::u16string path) {
  SignerInfo signer;
  return check(path, signer);
}

int JarValidator::check(const std::u16string& path, SignerInfo& signer) {
  // The digest attribute names start as "SHA-" and may switch to "SHA1-"
  // while the signature file is read.
  std::string entryDigestPrefix(kShaEntryDigest);
  std::string manifestDigestPrefix(kShaManifestDigest);
  signer = SignerInfo{};

  zlib_filefunc64_def files = platform::windowsPathFileFunctions();
  Archive archive(unzOpen2_64(path.c_str(), &files));
  if (!archive)
    return ValidationResult::FileNotFound;

  int result = ValidationResult::NoSignature;
  std::string signatureFile;
  std::string signatureBlock;
  std::string manifest;
  if (readMetaInfMember(archive.get(), kSignatureFileExtension, signatureFile) &&
      readSignatureBlock(archive.get(), signatureBlock) &&
      readMetaInfMember(archive.get(), kManifestExtension, manifest)) {
    result = ValidationResult::BadSignature;
    if (verifySignatureBlock(signatureBlock, signatureFile, signer) &&
        verifySignatureFile(signatureFile, manifest, entryDigestPrefix, manifestDigestPrefix) &&
        verifyArchiveMembers(archive.get(), manifest, entryDigestPrefix))
      result = ValidationResult::Verified;
  }
  archive.reset();

  if (result == ValidationResult::Verified && isAffected(signer))
    result = ValidationResult::Affected;
  return result;
}
