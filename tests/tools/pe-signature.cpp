// pe-signature: edits the Authenticode signature of a signed PE image, for
// fixtures that signing tools do not make.
//
//   pe-signature countersign IN OUT CERT KEY UNIX-TIME [--bad-digest]
//       adds a PKCS#9 countersignature (SHA-256, signing time UNIX-TIME) by
//       CERT/KEY over the first signer's signature value, and CERT to the
//       block's certificates; --bad-digest makes its message digest wrong
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
#include <openssl/x509.h>

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

void countersign(const Bytes& image, const std::string& out, const std::string& certPath,
                 const std::string& keyPath, long unixTime, bool badDigest) {
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
  if (!PKCS7_SIGNER_INFO_set(counter, certificate, key, EVP_sha256()))
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
             EVP_sha256(), nullptr);
  if (badDigest)
    digest[0] ^= 0x01;
  PKCS7_add1_attrib_digest(counter, digest, static_cast<int>(digestLength));
  if (PKCS7_SIGNER_INFO_sign(counter) != 1)
    fail("cannot sign the countersignature");

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
  if (command == "countersign" && (args.size() == 6 || args.size() == 7))
    countersign(image, out, args[3], args[4], std::strtol(args[5].c_str(), nullptr, 10),
                args.size() == 7 && args[6] == "--bad-digest");
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
