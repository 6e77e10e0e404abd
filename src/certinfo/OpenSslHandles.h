#pragma once

// Owning handles for the OpenSSL objects this component uses, so that every early return frees them.

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace kyt::certinfo {

template <class T, void (*Free)(T*)> struct OpenSslDeleter {
    void operator()(T* p) const noexcept { Free(p); }
};

using BioPtr = std::unique_ptr<BIO, OpenSslDeleter<BIO, BIO_free_all>>;
using X509Ptr = std::unique_ptr<X509, OpenSslDeleter<X509, X509_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY, EVP_PKEY_free>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, OpenSslDeleter<PKCS12, PKCS12_free>>;
using LibCtxPtr = std::unique_ptr<OSSL_LIB_CTX, OpenSslDeleter<OSSL_LIB_CTX, OSSL_LIB_CTX_free>>;
using GeneralNamesPtr = std::unique_ptr<GENERAL_NAMES, OpenSslDeleter<GENERAL_NAMES, GENERAL_NAMES_free>>;
using BasicConstraintsPtr =
    std::unique_ptr<BASIC_CONSTRAINTS, OpenSslDeleter<BASIC_CONSTRAINTS, BASIC_CONSTRAINTS_free>>;

struct ProviderDeleter {
    void operator()(OSSL_PROVIDER* p) const noexcept { OSSL_PROVIDER_unload(p); }
};
using ProviderPtr = std::unique_ptr<OSSL_PROVIDER, ProviderDeleter>;

// A stack of certificates together with the certificates in it.
struct X509StackDeleter {
    void operator()(STACK_OF(X509) * s) const noexcept { sk_X509_pop_free(s, X509_free); }
};
using X509StackPtr = std::unique_ptr<STACK_OF(X509), X509StackDeleter>;

// The parts of a PKCS#12 bundle, as unpacked one level at a time.
struct Pkcs7StackDeleter {
    void operator()(STACK_OF(PKCS7) * s) const noexcept { sk_PKCS7_pop_free(s, PKCS7_free); }
};
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), Pkcs7StackDeleter>;
struct SafeBagStackDeleter {
    void operator()(STACK_OF(PKCS12_SAFEBAG) * s) const noexcept { sk_PKCS12_SAFEBAG_pop_free(s, PKCS12_SAFEBAG_free); }
};
using SafeBagStackPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), SafeBagStackDeleter>;
using PbeParamPtr = std::unique_ptr<PBEPARAM, OpenSslDeleter<PBEPARAM, PBEPARAM_free>>;
using Pbe2ParamPtr = std::unique_ptr<PBE2PARAM, OpenSslDeleter<PBE2PARAM, PBE2PARAM_free>>;
using Pbkdf2ParamPtr = std::unique_ptr<PBKDF2PARAM, OpenSslDeleter<PBKDF2PARAM, PBKDF2PARAM_free>>;
using ScryptParamsPtr = std::unique_ptr<SCRYPT_PARAMS, OpenSslDeleter<SCRYPT_PARAMS, SCRYPT_PARAMS_free>>;

} // namespace kyt::certinfo
