// Loading the certificate stores: the root list built into the program (or
// its newer copy) and files and folders of PEM or DER.
#include "platform/posix/trust/TrustStoresImpl.h"

#include "platform/posix/trust/CertificateImpl.h"
#include "platform/Resources.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string_view>

namespace platform {
namespace {

// The root list and its certificates in the resource table.
constexpr std::uint32_t kRootListId = 401;
constexpr std::uint32_t kRootCertificatesId = 402;
// Their names in a folder of newer copies.
constexpr const char* kRootListFile = "authroot.stl";
constexpr const char* kRootCertificatesFile = "authroot-certificates.pem";

// Certificates and CRLs read from one list of files and folders.
struct Objects {
  std::vector<X509_ptr> certificates;
  std::vector<X509_CRL_ptr> crls;
};

void freeInfoStack(STACK_OF(X509_INFO) * stack) { sk_X509_INFO_pop_free(stack, X509_INFO_free); }
using X509_INFO_STACK_ptr =
    std::unique_ptr<STACK_OF(X509_INFO), OpenSslDeleter<&freeInfoStack>>;

std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return {};
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void readObjectFile(const std::filesystem::path& file, Objects& objects) {
  const std::string bytes = readFile(file);
  if (bytes.empty())
    return;
  std::vector<X509_ptr> certificates = readCertificates(bytesOf(bytes));
  for (X509_ptr& certificate : certificates)
    objects.certificates.push_back(std::move(certificate));
  if (bytes.find("-----BEGIN") != std::string::npos) {
    BIO_ptr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    X509_INFO_STACK_ptr infos(PEM_X509_INFO_read_bio(bio.get(), nullptr, nullptr, nullptr));
    for (int i = 0; infos && i < sk_X509_INFO_num(infos.get()); ++i) {
      X509_INFO* info = sk_X509_INFO_value(infos.get(), i);
      if (info->crl) {
        objects.crls.emplace_back(info->crl);
        info->crl = nullptr;
      }
    }
    return;
  }
  if (!certificates.empty())
    return;
  const unsigned char* cursor = reinterpret_cast<const unsigned char*>(bytes.data());
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
  std::uint8_t hash[20];
  if (!certificateSha1(certificate, hash))
    return false;
  std::copy(std::begin(hash), std::end(hash), thumbprint.begin());
  return true;
}

// The newer copy of the root list in folder when it verifies, else the one
// built into the program.
RootProgramList readRootList(const std::string& folder, bool& read) {
  RootProgramList list;
  if (!folder.empty()) {
    const std::string stl = readFile(std::filesystem::path(folder) / kRootListFile);
    const std::string certificates =
        readFile(std::filesystem::path(folder) / kRootCertificatesFile);
    read = readRootProgramList(bytesOf(stl), bytesOf(certificates), list);
    if (read)
      return list;
  }
  read = readRootProgramList(findResource(kResourceTrust, kRootListId),
                             findResource(kResourceTrust, kRootCertificatesId), list);
  return list;
}

// The stores are read by every thread that checks files. OpenSSL fills some
// facts of a certificate (its extensions) and of a revocation list (its
// entries in serial order) at their first use, and its test whether that
// was done is no synchronised read; so both are done here, before the
// objects are shared, and threads only ever read them.
void prepareForSharing(X509* certificate) { X509_check_purpose(certificate, -1, 0); }

void prepareForSharing(X509_CRL* crl) {
  if (STACK_OF(X509_REVOKED)* revoked = X509_CRL_get_REVOKED(crl))
    sk_X509_REVOKED_sort(revoked);
}

} // namespace

TrustStoreLocations TrustStoreLocations::fromEnvironment() {
  TrustStoreLocations locations;
  locations.trusted = environment("FENNICK_TRUSTED_CERTS");
  locations.disallowed = environment("FENNICK_DISALLOWED_CERTS");
  locations.crls = environment("FENNICK_CRLS");
  locations.rootListFolder = environment("FENNICK_AUTHROOT");
  return locations;
}

bool TrustStores::isDisallowed(X509* certificate) const {
  Thumbprint thumbprint;
  return !disallowed.empty() && sha1Of(certificate, thumbprint) &&
         disallowed.count(thumbprint) != 0;
}

const RootProgramEntry* TrustStores::listedEntry(X509* anchor) const {
  Thumbprint thumbprint;
  if (listedRoots.empty() || !sha1Of(anchor, thumbprint))
    return nullptr;
  auto found = listedRoots.find(thumbprint);
  return found == listedRoots.end() ? nullptr : &found->second;
}

std::shared_ptr<const TrustStores> loadTrustStores(const TrustStoreLocations& locations) {
  auto stores = std::make_shared<TrustStores>();
  stores->root.reset(X509_STORE_new());
  if (locations.rootList) {
    RootProgramList list = readRootList(locations.rootListFolder, stores->rootListRead);
    stores->listedCertificates = std::make_unique<ListedRootLookup>(std::move(list.encodings));
    stores->listedCertificates->attach(stores->root.get());
    stores->listedRoots = std::move(list.roots);
  }
  for (X509_ptr& certificate : readObjects(locations.trusted).certificates) {
    TrustStores::Thumbprint thumbprint;
    if (sha1Of(certificate.get(), thumbprint))
      stores->listedRoots.erase(thumbprint); // the user trusts it for everything
    prepareForSharing(certificate.get());
    X509_STORE_add_cert(stores->root.get(), certificate.get());
  }
  for (X509_ptr& certificate : readObjects(locations.disallowed).certificates) {
    TrustStores::Thumbprint thumbprint;
    if (sha1Of(certificate.get(), thumbprint))
      stores->disallowed.insert(thumbprint);
  }
  stores->crls = std::move(readObjects(locations.crls).crls);
  for (X509_CRL_ptr& crl : stores->crls)
    prepareForSharing(crl.get());
  return stores;
}

namespace {

struct ProcessStores {
  std::mutex mutex;
  std::shared_ptr<const TrustStores> current;
  std::vector<std::shared_ptr<const TrustStores>> handedOut; // alive while references may be
};

ProcessStores& processStores() {
  // Kept to the very end of the process, never destroyed: OpenSSL's own
  // clean-up at exit may come first, after which freeing the certificates
  // would no longer free their extra data.
  static ProcessStores* instance = new ProcessStores;
  return *instance;
}

} // namespace

const TrustStores& processTrustStores() {
  ProcessStores& process = processStores();
  std::lock_guard lock(process.mutex);
  if (!process.current) {
    process.current = loadTrustStores(TrustStoreLocations::fromEnvironment());
    process.handedOut.push_back(process.current);
  }
  return *process.current;
}

void useProcessTrustStores(std::shared_ptr<const TrustStores> stores) {
  if (!stores)
    return;
  ProcessStores& process = processStores();
  std::lock_guard lock(process.mutex);
  process.current = stores;
  process.handedOut.push_back(std::move(stores));
}

} // namespace platform
