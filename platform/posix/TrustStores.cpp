// Loading the certificate stores from files and folders of PEM or DER.
#include "platform/TrustStoresImpl.h"

#include <openssl/pem.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

namespace platform {
namespace {

// Certificates and CRLs read from one list of files and folders.
struct Objects {
  std::vector<X509_ptr> certificates;
  std::vector<X509_CRL_ptr> crls;
};

void freeInfoStack(STACK_OF(X509_INFO) * stack) { sk_X509_INFO_pop_free(stack, X509_INFO_free); }
using X509_INFO_STACK_ptr =
    std::unique_ptr<STACK_OF(X509_INFO), OpenSslDeleter<&freeInfoStack>>;

void readObjectFile(const std::filesystem::path& file, Objects& objects) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.find("-----BEGIN") != std::string::npos) {
    BIO_ptr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    X509_INFO_STACK_ptr infos(PEM_X509_INFO_read_bio(bio.get(), nullptr, nullptr, nullptr));
    for (int i = 0; infos && i < sk_X509_INFO_num(infos.get()); ++i) {
      X509_INFO* info = sk_X509_INFO_value(infos.get(), i);
      if (info->x509) {
        objects.certificates.emplace_back(info->x509);
        info->x509 = nullptr;
      }
      if (info->crl) {
        objects.crls.emplace_back(info->crl);
        info->crl = nullptr;
      }
    }
    return;
  }
  const unsigned char* cursor = reinterpret_cast<const unsigned char*>(bytes.data());
  if (X509* certificate = d2i_X509(nullptr, &cursor, static_cast<long>(bytes.size()))) {
    objects.certificates.emplace_back(certificate);
    return;
  }
  cursor = reinterpret_cast<const unsigned char*>(bytes.data());
  if (X509_CRL* crl = d2i_X509_CRL(nullptr, &cursor, static_cast<long>(bytes.size())))
    objects.crls.emplace_back(crl);
}

Objects readObjects(std::string_view list) {
  Objects objects;
  while (!list.empty()) {
    std::size_t colon = list.find(':');
    std::string_view element = list.substr(0, colon);
    list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    if (element.empty())
      continue;
    std::error_code error;
    std::filesystem::path path{std::string(element)};
    if (std::filesystem::is_directory(path, error)) {
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        if (entry.is_regular_file(error))
          files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files)
        readObjectFile(file, objects);
    } else {
      readObjectFile(path, objects);
    }
  }
  return objects;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool sha1Of(X509* certificate, TrustStores::Thumbprint& thumbprint) {
  unsigned int length = 0;
  return X509_digest(certificate, EVP_sha1(), thumbprint.data(), &length) == 1 &&
         length == thumbprint.size();
}

// The system's CA store: OpenSSL's default hashed certificate folder
// (SSL_CERT_DIR overrides it), read certificate by certificate as chains ask
// for issuers; without that folder, its default certificate file
// (SSL_CERT_FILE overrides it) read whole. Not X509_STORE_set_default_paths: it reads the whole file at once
// and adds a lookup that lists the folder again at every issuer the store
// lacks, that is at every chain.
void addSystemRoots(X509_STORE* store) {
  const char* file = std::getenv(X509_get_default_cert_file_env());
  const char* folder = std::getenv(X509_get_default_cert_dir_env());
  const std::string folderPath = folder ? folder : X509_get_default_cert_dir();
  std::error_code error;
  if (std::filesystem::is_directory(folderPath, error)) {
    if (X509_LOOKUP* lookup = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir()))
      X509_LOOKUP_add_dir(lookup, folderPath.c_str(), X509_FILETYPE_PEM);
    return;
  }
  X509_STORE_load_file(store, file ? file : X509_get_default_cert_file());
}

} // namespace

TrustStoreLocations TrustStoreLocations::fromEnvironment() {
  TrustStoreLocations locations;
  locations.trusted = environment("FENNICK_TRUSTED_CERTS");
  locations.disallowed = environment("FENNICK_DISALLOWED_CERTS");
  locations.crls = environment("FENNICK_CRLS");
  return locations;
}

bool TrustStores::isDisallowed(X509* certificate) const {
  Thumbprint thumbprint;
  return !disallowed.empty() && sha1Of(certificate, thumbprint) &&
         disallowed.count(thumbprint) != 0;
}

std::shared_ptr<const TrustStores> loadTrustStores(const TrustStoreLocations& locations) {
  auto stores = std::make_shared<TrustStores>();
  stores->root.reset(X509_STORE_new());
  if (locations.systemRoots)
    addSystemRoots(stores->root.get());
  for (X509_ptr& certificate : readObjects(locations.trusted).certificates)
    X509_STORE_add_cert(stores->root.get(), certificate.get()); // takes its own reference
  for (X509_ptr& certificate : readObjects(locations.disallowed).certificates) {
    TrustStores::Thumbprint thumbprint;
    if (sha1Of(certificate.get(), thumbprint))
      stores->disallowed.insert(thumbprint);
  }
  stores->crls = std::move(readObjects(locations.crls).crls);
  return stores;
}

const TrustStores& processTrustStores() {
  static const std::shared_ptr<const TrustStores> stores =
      loadTrustStores(TrustStoreLocations::fromEnvironment());
  return *stores;
}

} // namespace platform
