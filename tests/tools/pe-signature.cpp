// pe-signature: edits the Authenticode signature of a signed PE image, for
// fixtures that signing tools do not make.
//
//   pe-signature countersign IN OUT CERT KEY UNIX-TIME [--bad-digest|--bare-sha1|--bare-wrong|--forged-md5]
//       adds a PKCS#9 countersignature (SHA-256, signing time UNIX-TIME) by
//       CERT/KEY over the first signer's signature value, and CERT to the
//       block's certificates; --bad-digest makes its message digest wrong;
//       --bare-sha1 makes it a SHA-1 countersignature whose RSA block holds
//       the bare SHA-1 digest of its attributes, without DigestInfo, as
//       early time-stamping services signed (the raw RSA signature of
//       `openssl pkeyutl -sign` without a digest algorithm); --bare-wrong
//       the same over the bare SHA-256 digest instead; --forged-md5 makes
//       it an MD5 countersignature with an empty message digest and a
//       signature value of arbitrary bytes, which only a check that takes
//       a digest it cannot compute for a match would accept
//   pe-signature noncanonical-signer IN OUT CERT-OUT
//       re-encodes the signer's certificate inside the block with a length
//       that is valid BER but not DER (one more length byte than needed),
//       and writes those certificate bytes to CERT-OUT
//   pe-signature noncanonical-block IN OUT CERT-OUT
//       the same for a detached PKCS#7 block file (an archive's .RSA)
//   pe-signature corrupt-signature IN OUT
//       flips a bit of the first signer's signature value
//   pe-signature corrupt-timestamp IN OUT
//       flips a bit of the last byte of the first time-stamp (either kind)
//   pe-signature pad IN OUT COUNT
//       appends COUNT bytes of 0xA5 inside the WIN_CERTIFICATE, after the block
//   pe-signature set-header IN OUT REVISION TYPE
//       rewrites wRevision and wCertificateType of the first WIN_CERTIFICATE
//   pe-signature table-past-end IN OUT
//       makes the certificate table's directory entry reach past the file end
//   pe-signature indefinite-length IN OUT
//       re-encodes the block's outermost SEQUENCE with an indefinite length
//       (BER, as some signing tools write)
//   pe-signature second-entry IN OUT OTHER
//       appends the first WIN_CERTIFICATE of the signed image OTHER to IN's
//       certificate table as a second entry, as images signed twice carry
//
// The certificate table must be the last thing in IN, as signing tools
// leave it.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t read32(const Bytes& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
         (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

void write32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = (value >> (8 * i)) & 0xFF;
}

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "pe-signature: %s\n", message.c_str());
  std::exit(1);
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    fail("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out)
    fail("cannot write " + path);
}

// The file offset of the certificate-table directory entry.
std::size_t certificateEntry(const Bytes& image) {
  if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z')
    fail("not a PE image");
  std::size_t optional = read32(image, 0x3C) + 24;
  if (optional + 2 > image.size())
    fail("not a PE image");
  bool pe32Plus = (image[optional] | (image[optional + 1] << 8)) == 0x20B;
  return optional + (pe32Plus ? 112 : 96) + 4 * 8;
}

// The image with its certificate table replaced by one WIN_CERTIFICATE
// holding block (padded to eight bytes), and the directory entry updated.
Bytes withSignature(const Bytes& image, const Bytes& block, std::size_t padding = 0,
                    std::uint8_t pad = 0) {
  std::size_t entry = certificateEntry(image);
  std::uint32_t table = read32(image, entry);
  if (table == 0 || table > image.size())
    fail("no certificate table");
  Bytes out(image.begin(), image.begin() + table);
  std::uint32_t length = static_cast<std::uint32_t>(8 + block.size() + padding);
  Bytes header(8, 0);
  write32(header, 0, length);
  header[4] = 0x00;
  header[5] = 0x02; // WIN_CERT_REVISION_2_0
  header[6] = 0x02; // WIN_CERT_TYPE_PKCS_SIGNED_DATA
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), block.begin(), block.end());
  out.insert(out.end(), padding, pad);
  while ((out.size() - table) % 8 != 0)
    out.push_back(0);
  write32(out, entry + 4, static_cast<std::uint32_t>(out.size() - table));
  return out;
}

PKCS7* readSignature(const Bytes& image) {
  std::size_t entry = certificateEntry(image);
  std::uint32_t table = read32(image, entry);
  std::uint32_t size = read32(image, entry + 4);
  if (table == 0 || size < 8 || std::uint64_t(table) + size > image.size())
    fail("no certificate table");
  const unsigned char* cursor = image.data() + table + 8;
  PKCS7* signature = d2i_PKCS7(nullptr, &cursor, read32(image, table) - 8);
  if (!signature || !PKCS7_type_is_signed(signature))
    fail("no signature block");
  return signature;
}

Bytes encode(PKCS7* signature) {
  unsigned char* der = nullptr;
  int length = i2d_PKCS7(signature, &der);
  if (length <= 0)
    fail("cannot encode the block");
  Bytes bytes(der, der + length);
  OPENSSL_free(der);
  return bytes;
}

PKCS7_SIGNER_INFO* firstSigner(PKCS7* signature) {
  PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signature->d.sign->signer_info, 0);
  if (!signer)
    fail("no signer");
  return signer;
}

enum class CounterForm { Standard, BadDigest, BareSha1, BareWrong, ForgedMd5 };

// Signs the countersignature's attributes with a raw RSA signature over
// their bare digest with algorithm: PKCS#1 v1.5 type-1 padding around the
// digest alone, no DigestInfo.
void signBareDigest(PKCS7_SIGNER_INFO* counter, EVP_PKEY* key, const EVP_MD* algorithm) {
  unsigned char* attributes = nullptr;
  int length = ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(counter->auth_attr), &attributes,
                             ASN1_ITEM_rptr(PKCS7_ATTR_SIGN));
  if (length <= 0)
    fail("cannot encode the countersignature's attributes");
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  EVP_Digest(attributes, std::size_t(length), digest, &digestLength, algorithm, nullptr);
  OPENSSL_free(attributes);
  EVP_PKEY_CTX* context = EVP_PKEY_CTX_new(key, nullptr);
  std::size_t signatureLength = 0;
  if (!context || EVP_PKEY_sign_init(context) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PADDING) != 1 ||
      EVP_PKEY_sign(context, nullptr, &signatureLength, digest, digestLength) != 1)
    fail("cannot sign the bare digest");
  Bytes signature(signatureLength);
  if (EVP_PKEY_sign(context, signature.data(), &signatureLength, digest, digestLength) != 1)
    fail("cannot sign the bare digest");
  EVP_PKEY_CTX_free(context);
  ASN1_STRING_set(counter->enc_digest, signature.data(), int(signatureLength));
}

void countersign(const Bytes& image, const std::string& out, const std::string& certPath,
                 const std::string& keyPath, long unixTime, CounterForm form) {
  const bool badDigest = form == CounterForm::BadDigest;
  const EVP_MD* counterDigest = form == CounterForm::BareSha1 || form == CounterForm::BareWrong
                                    ? EVP_sha1()
                                    : form == CounterForm::ForgedMd5 ? EVP_md5() : EVP_sha256();
  PKCS7* signature = readSignature(image);
  PKCS7_SIGNER_INFO* signer = firstSigner(signature);
  FILE* certFile = std::fopen(certPath.c_str(), "r");
  FILE* keyFile = std::fopen(keyPath.c_str(), "r");
  if (!certFile || !keyFile)
    fail("cannot read the time-stamping certificate or key");
  X509* certificate = PEM_read_X509(certFile, nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_PrivateKey(keyFile, nullptr, nullptr, nullptr);
  std::fclose(certFile);
  std::fclose(keyFile);
  if (!certificate || !key)
    fail("bad time-stamping certificate or key");

  PKCS7_SIGNER_INFO* counter = PKCS7_SIGNER_INFO_new();
  if (!PKCS7_SIGNER_INFO_set(counter, certificate, key, counterDigest))
    fail("cannot make the countersignature");
  // As the legacy Authenticode time-stamping services do: content type
  // "data", the signing time, the digest of the signer's signature value.
  PKCS7_add_signed_attribute(counter, NID_pkcs9_contentType, V_ASN1_OBJECT,
                             OBJ_nid2obj(NID_pkcs7_data));
  ASN1_UTCTIME* time = ASN1_UTCTIME_set(nullptr, unixTime);
  PKCS7_add_signed_attribute(counter, NID_pkcs9_signingTime, V_ASN1_UTCTIME, time);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  EVP_Digest(signer->enc_digest->data, signer->enc_digest->length, digest, &digestLength,
             counterDigest, nullptr);
  if (badDigest)
    digest[0] ^= 0x01;
  if (form == CounterForm::ForgedMd5)
    digestLength = 0;
  PKCS7_add1_attrib_digest(counter, digest, static_cast<int>(digestLength));
  if (form == CounterForm::ForgedMd5) {
    Bytes garbage(256);
    for (std::size_t i = 0; i < garbage.size(); ++i)
      garbage[i] = std::uint8_t(i * 37 + 11);
    ASN1_STRING_set(counter->enc_digest, garbage.data(), int(garbage.size()));
  } else if (form == CounterForm::Standard || form == CounterForm::BadDigest) {
    if (PKCS7_SIGNER_INFO_sign(counter) != 1)
      fail("cannot sign the countersignature");
  } else {
    signBareDigest(counter, key, form == CounterForm::BareSha1 ? EVP_sha1() : EVP_sha256());
  }

  unsigned char* der = nullptr;
  int length = i2d_PKCS7_SIGNER_INFO(counter, &der);
  ASN1_STRING* value = ASN1_STRING_new();
  ASN1_STRING_set(value, der, length);
  OPENSSL_free(der);
  PKCS7_add_attribute(signer, NID_pkcs9_countersignature, V_ASN1_SEQUENCE, value);
  PKCS7_add_certificate(signature, certificate);
  writeFile(out, withSignature(image, encode(signature)));
  PKCS7_SIGNER_INFO_free(counter);
  X509_free(certificate);
  EVP_PKEY_free(key);
  PKCS7_free(signature);
}

void corruptSignature(const Bytes& image, const std::string& out) {
  PKCS7* signature = readSignature(image);
  ASN1_OCTET_STRING* value = firstSigner(signature)->enc_digest;
  value->data[value->length / 2] ^= 0x01;
  writeFile(out, withSignature(image, encode(signature)));
  PKCS7_free(signature);
}

void corruptTimestamp(const Bytes& image, const std::string& out) {
  PKCS7* signature = readSignature(image);
  STACK_OF(X509_ATTRIBUTE)* attributes = firstSigner(signature)->unauth_attr;
  for (int i = 0; i < sk_X509_ATTRIBUTE_num(attributes); ++i) {
    X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(attributes, i);
    int nid = OBJ_obj2nid(X509_ATTRIBUTE_get0_object(attribute));
    char oid[64];
    OBJ_obj2txt(oid, sizeof oid, X509_ATTRIBUTE_get0_object(attribute), 1);
    if (nid != NID_pkcs9_countersignature && std::string(oid) != "1.3.6.1.4.1.311.3.3.1")
      continue;
    ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, 0);
    if (!value || value->type != V_ASN1_SEQUENCE)
      continue;
    value->value.sequence->data[value->value.sequence->length - 1] ^= 0x01;
    writeFile(out, withSignature(image, encode(signature)));
    PKCS7_free(signature);
    return;
  }
  fail("no time-stamp");
}

void pad(const Bytes& image, const std::string& out, std::size_t count) {
  PKCS7* signature = readSignature(image);
  writeFile(out, withSignature(image, encode(signature), count, 0xA5));
  PKCS7_free(signature);
}

void setHeader(Bytes image, const std::string& out, unsigned revision, unsigned type) {
  std::uint32_t table = read32(image, certificateEntry(image));
  image[table + 4] = revision & 0xFF;
  image[table + 5] = (revision >> 8) & 0xFF;
  image[table + 6] = type & 0xFF;
  image[table + 7] = (type >> 8) & 0xFF;
  writeFile(out, image);
}

void tablePastEnd(Bytes image, const std::string& out) {
  std::size_t entry = certificateEntry(image);
  write32(image, entry + 4, read32(image, entry + 4) + 4096);
  writeFile(out, image);
}

// The first WIN_CERTIFICATE of a signed image, padded to eight bytes.
Bytes firstEntry(const Bytes& image) {
  std::size_t entry = certificateEntry(image);
  std::uint32_t table = read32(image, entry);
  std::uint32_t size = read32(image, entry + 4);
  if (table == 0 || size < 8 || std::uint64_t(table) + size > image.size())
    fail("no certificate table");
  std::uint32_t length = read32(image, table);
  if (length < 8 || length > size)
    fail("bad certificate table");
  Bytes bytes(image.begin() + table, image.begin() + table + length);
  while (bytes.size() % 8 != 0)
    bytes.push_back(0);
  return bytes;
}

void indefiniteLength(const Bytes& image, const std::string& out) {
  PKCS7* signature = readSignature(image);
  Bytes der = encode(signature);
  PKCS7_free(signature);
  // Skip the outer tag and its definite length; wrap the contents anew.
  std::size_t header = 2;
  if (der[1] & 0x80)
    header += der[1] & 0x7F;
  Bytes ber = {0x30, 0x80};
  ber.insert(ber.end(), der.begin() + header, der.end());
  ber.insert(ber.end(), {0x00, 0x00});
  writeFile(out, withSignature(image, ber));
}

void secondEntry(const Bytes& image, const std::string& out, const Bytes& other) {
  std::size_t entry = certificateEntry(image);
  std::uint32_t table = read32(image, entry);
  Bytes result(image.begin(), image.begin() + table);
  Bytes first = firstEntry(image);
  Bytes second = firstEntry(other);
  result.insert(result.end(), first.begin(), first.end());
  result.insert(result.end(), second.begin(), second.end());
  write32(result, entry + 4, static_cast<std::uint32_t>(first.size() + second.size()));
  writeFile(out, result);
}

// The length octets of a DER element of size bytes, in the shortest form.
Bytes lengthOctets(std::size_t size) {
  if (size < 0x80)
    return {std::uint8_t(size)};
  Bytes digits;
  for (; size; size >>= 8)
    digits.insert(digits.begin(), std::uint8_t(size & 0xFF));
  digits.insert(digits.begin(), std::uint8_t(0x80 | digits.size()));
  return digits;
}

// The header size and contents size of the element at der[at] (one-byte
// tags, definite lengths).
void elementAt(const Bytes& der, std::size_t at, std::size_t& header, std::size_t& contents) {
  if (at + 2 > der.size())
    fail("bad block");
  std::uint8_t first = der[at + 1];
  header = 2;
  contents = first;
  if (first & 0x80) {
    contents = 0;
    for (int i = 0; i < (first & 0x7F); ++i)
      contents = (contents << 8) | der[at + 2 + std::size_t(i)];
    header += first & 0x7F;
  }
  if (at + header + contents > der.size())
    fail("bad block");
}

// The element at der[at] with the element at der[target] replaced by
// replacement; the constructed elements around it are encoded anew.
Bytes replaceElement(const Bytes& der, std::size_t at, std::size_t target, const Bytes& replacement) {
  if (at == target)
    return replacement;
  std::size_t header = 0, contents = 0;
  elementAt(der, at, header, contents);
  const std::size_t end = at + header + contents;
  if (target < at + header || target >= end || !(der[at] & 0x20))
    return Bytes(der.begin() + long(at), der.begin() + long(end));
  Bytes inner;
  for (std::size_t child = at + header; child < end;) {
    std::size_t childHeader = 0, childContents = 0;
    elementAt(der, child, childHeader, childContents);
    Bytes part = replaceElement(der, child, target, replacement);
    inner.insert(inner.end(), part.begin(), part.end());
    child += childHeader + childContents;
  }
  Bytes out = {der[at]};
  Bytes length = lengthOctets(inner.size());
  out.insert(out.end(), length.begin(), length.end());
  out.insert(out.end(), inner.begin(), inner.end());
  return out;
}

// The block with its signer's certificate re-encoded with one length byte
// more than needed (a leading zero byte): BER that every decoder takes, but
// not DER, so that decoding and encoding again gives other bytes.
Bytes withNoncanonicalSigner(PKCS7* signature, Bytes& certificateBytes) {
  PKCS7_ISSUER_AND_SERIAL* id = firstSigner(signature)->issuer_and_serial;
  X509* certificate = X509_find_by_issuer_and_serial(signature->d.sign->cert, id->issuer, id->serial);
  if (!certificate)
    fail("no signer certificate in the block");
  unsigned char* encoded = nullptr;
  int length = i2d_X509(certificate, &encoded);
  Bytes canonical(encoded, encoded + length);
  OPENSSL_free(encoded);
  Bytes block = encode(signature);
  auto found = std::search(block.begin(), block.end(), canonical.begin(), canonical.end());
  if (found == block.end())
    fail("signer certificate not found in the block");
  std::size_t header = 0, contents = 0;
  elementAt(canonical, 0, header, contents);
  certificateBytes = {canonical[0], std::uint8_t(0x80 | (header - 1)), 0x00};
  certificateBytes.insert(certificateBytes.end(), canonical.begin() + 2, canonical.end());
  return replaceElement(block, 0, std::size_t(found - block.begin()), certificateBytes);
}

void noncanonicalSigner(const Bytes& image, const std::string& out, const std::string& certOut) {
  PKCS7* signature = readSignature(image);
  Bytes certificate;
  writeFile(out, withSignature(image, withNoncanonicalSigner(signature, certificate)));
  writeFile(certOut, certificate);
  PKCS7_free(signature);
}

void noncanonicalBlock(const Bytes& block, const std::string& out, const std::string& certOut) {
  const unsigned char* cursor = block.data();
  PKCS7* signature = d2i_PKCS7(nullptr, &cursor, long(block.size()));
  if (!signature || !PKCS7_type_is_signed(signature))
    fail("no signature block");
  Bytes certificate;
  writeFile(out, withNoncanonicalSigner(signature, certificate));
  writeFile(certOut, certificate);
  PKCS7_free(signature);
}

int usage() {
  std::fprintf(stderr, "usage: see the comment at the top of pe-signature.cpp\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 3)
    return usage();
  const std::string& command = args[0];
  Bytes image = readFile(args[1]);
  const std::string& out = args[2];
  if (command == "countersign" && (args.size() == 6 || args.size() == 7)) {
    const std::string option = args.size() == 7 ? args[6] : "";
    CounterForm form = CounterForm::Standard;
    if (option == "--bad-digest")
      form = CounterForm::BadDigest;
    else if (option == "--bare-sha1")
      form = CounterForm::BareSha1;
    else if (option == "--bare-wrong")
      form = CounterForm::BareWrong;
    else if (option == "--forged-md5")
      form = CounterForm::ForgedMd5;
    else if (!option.empty())
      return usage();
    countersign(image, out, args[3], args[4], std::strtol(args[5].c_str(), nullptr, 10), form);
  } else if (command == "noncanonical-signer" && args.size() == 4)
    noncanonicalSigner(image, out, args[3]);
  else if (command == "noncanonical-block" && args.size() == 4)
    noncanonicalBlock(image, out, args[3]);
  else if (command == "corrupt-signature" && args.size() == 3)
    corruptSignature(image, out);
  else if (command == "corrupt-timestamp" && args.size() == 3)
    corruptTimestamp(image, out);
  else if (command == "pad" && args.size() == 4)
    pad(image, out, std::strtoul(args[3].c_str(), nullptr, 10));
  else if (command == "set-header" && args.size() == 5)
    setHeader(image, out, std::strtoul(args[3].c_str(), nullptr, 0),
              std::strtoul(args[4].c_str(), nullptr, 0));
  else if (command == "table-past-end" && args.size() == 3)
    tablePastEnd(image, out);
  else if (command == "indefinite-length" && args.size() == 3)
    indefiniteLength(image, out);
  else if (command == "second-entry" && args.size() == 4)
    secondEntry(image, out, readFile(args[3]));
  else
    return usage();
  return 0;
}
