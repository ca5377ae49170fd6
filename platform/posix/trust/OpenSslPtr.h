// Owning smart pointers for the OpenSSL objects the platform layer handles.
// Every OpenSSL object is held by one of these aliases, so nothing is ever
// freed by hand. Only code under platform/ includes this header.
#pragma once

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace platform {

// Calls the OpenSSL release function Free on the pointer it is given.
template <auto Free>
struct OpenSslDeleter {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};

using X509_ptr = std::unique_ptr<X509, OpenSslDeleter<&X509_free>>;
using X509_NAME_ptr = std::unique_ptr<X509_NAME, OpenSslDeleter<&X509_NAME_free>>;
using X509_CRL_ptr = std::unique_ptr<X509_CRL, OpenSslDeleter<&X509_CRL_free>>;
using X509_STORE_ptr = std::unique_ptr<X509_STORE, OpenSslDeleter<&X509_STORE_free>>;
using X509_STORE_CTX_ptr =
    std::unique_ptr<X509_STORE_CTX, OpenSslDeleter<&X509_STORE_CTX_free>>;
using X509_SIG_ptr = std::unique_ptr<X509_SIG, OpenSslDeleter<&X509_SIG_free>>;
using EVP_PKEY_ptr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<&EVP_PKEY_free>>;
using EVP_MD_CTX_ptr = std::unique_ptr<EVP_MD_CTX, OpenSslDeleter<&EVP_MD_CTX_free>>;
using EVP_MD_ptr = std::unique_ptr<EVP_MD, OpenSslDeleter<&EVP_MD_free>>;
using BIO_ptr = std::unique_ptr<BIO, OpenSslDeleter<&BIO_free_all>>;
using PKCS7_ptr = std::unique_ptr<PKCS7, OpenSslDeleter<&PKCS7_free>>;
using CMS_ContentInfo_ptr =
    std::unique_ptr<CMS_ContentInfo, OpenSslDeleter<&CMS_ContentInfo_free>>;
using PKCS7_SIGNER_INFO_ptr =
    std::unique_ptr<PKCS7_SIGNER_INFO, OpenSslDeleter<&PKCS7_SIGNER_INFO_free>>;
using TS_TST_INFO_ptr = std::unique_ptr<TS_TST_INFO, OpenSslDeleter<&TS_TST_INFO_free>>;
using ASN1_OBJECT_ptr = std::unique_ptr<ASN1_OBJECT, OpenSslDeleter<&ASN1_OBJECT_free>>;
using ASN1_TIME_ptr = std::unique_ptr<ASN1_TIME, OpenSslDeleter<&ASN1_TIME_free>>;
using EXTENDED_KEY_USAGE_ptr =
    std::unique_ptr<EXTENDED_KEY_USAGE, OpenSslDeleter<&EXTENDED_KEY_USAGE_free>>;
using AUTHORITY_KEYID_ptr = std::unique_ptr<AUTHORITY_KEYID, OpenSslDeleter<&AUTHORITY_KEYID_free>>;
using GENERAL_NAMES_ptr =
    std::unique_ptr<GENERAL_NAMES, OpenSslDeleter<&GENERAL_NAMES_free>>;

// Stacks free their elements too.
inline void freeX509Stack(STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); }
inline void freeAsn1TypeStack(STACK_OF(ASN1_TYPE) * stack) {
  sk_ASN1_TYPE_pop_free(stack, ASN1_TYPE_free);
}
using X509_STACK_ptr = std::unique_ptr<STACK_OF(X509), OpenSslDeleter<&freeX509Stack>>;
// A stack that only lends its certificates: freeing it leaves them alone.
inline void freeX509StackOnly(STACK_OF(X509) * stack) { sk_X509_free(stack); }
using X509_VIEW_STACK_ptr = std::unique_ptr<STACK_OF(X509), OpenSslDeleter<&freeX509StackOnly>>;
using ASN1_SEQUENCE_ANY_ptr =
    std::unique_ptr<STACK_OF(ASN1_TYPE), OpenSslDeleter<&freeAsn1TypeStack>>;

// Memory that OpenSSL allocated for us (i2d output and the like).
inline void freeOpenSslBytes(unsigned char* bytes) { OPENSSL_free(bytes); }
using OpenSslBytes_ptr = std::unique_ptr<unsigned char, OpenSslDeleter<&freeOpenSslBytes>>;

} // namespace platform
