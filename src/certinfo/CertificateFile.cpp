#include "certinfo/CertificateFile.h"

#include "certinfo/CertificateFields.h"
#include "certinfo/KeyDerivationBound.h"
#include "platform/RegularFile.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <utility>

namespace kyt::certinfo {

namespace {

// Certificates are never encrypted; refusing a password keeps the library from prompting on a terminal.
int refusePassword(char*, int, int, void*) {
    return 0;
}

BioPtr memoryBio(const QByteArray& content) {
    return BioPtr(BIO_new_mem_buf(content.constData(), int(content.size())));
}

X509Ptr holderOfChain(const X509StackPtr& certificates);

CertificateOrFailure fromPem(const QByteArray& content) {
    BioPtr bio = memoryBio(content);
    if (!bio)
        return Failure::NotReadable;
    // Every certificate of the file, in order; reading skips blocks of other kinds (keys, for
    // instance). A chain may list its issuers before the holder.
    X509StackPtr certificates(sk_X509_new_null());
    while (X509* raw = PEM_read_bio_X509(bio.get(), nullptr, refusePassword, nullptr)) {
        if (!certificates || !sk_X509_push(certificates.get(), raw))
            X509_free(raw);
    }
    X509Ptr cert = holderOfChain(certificates);
    if (!cert)
        return Failure::NotReadable;
    return cert;
}

CertificateOrFailure fromDerCertificate(const QByteArray& content) {
    const auto* p = reinterpret_cast<const unsigned char*>(content.constData());
    X509Ptr cert(d2i_X509(nullptr, &p, long(content.size())));
    if (!cert)
        return Failure::NotReadable;
    return cert;
}

// Why opening a bundle failed, from the library's error queue. An algorithm we lack is "-3" whatever
// else went wrong. Otherwise a MAC that does not match, or contents that do not decrypt to a
// readable structure (bundles without a MAC), mean the password was wrong.
Failure classifyPkcs12Error() {
    bool unsupported = false;
    bool wrongPassword = false;
    while (const unsigned long e = ERR_get_error()) {
        const int lib = ERR_GET_LIB(e);
        const int reason = ERR_GET_REASON(e);
        if (reason == ERR_R_UNSUPPORTED || reason == ERR_R_FETCH_FAILED ||
            (lib == ERR_LIB_EVP && (reason == EVP_R_UNSUPPORTED_ALGORITHM || reason == EVP_R_UNKNOWN_CIPHER ||
                                    reason == EVP_R_UNSUPPORTED_CIPHER || reason == EVP_R_UNKNOWN_PBE_ALGORITHM ||
                                    reason == EVP_R_UNSUPPORTED_KEYLENGTH)) ||
            (lib == ERR_LIB_PKCS12 && reason == PKCS12_R_UNKNOWN_DIGEST_ALGORITHM))
            unsupported = true;
        else if ((lib == ERR_LIB_PKCS12 &&
                  (reason == PKCS12_R_MAC_VERIFY_FAILURE || reason == PKCS12_R_PKCS12_CIPHERFINAL_ERROR ||
                   reason == PKCS12_R_DECODE_ERROR)) ||
                 (lib == ERR_LIB_EVP && reason == EVP_R_BAD_DECRYPT))
            wrongPassword = true;
    }
    if (unsupported)
        return Failure::Other;
    return wrongPassword ? Failure::WrongPassword : Failure::Other;
}

// The holder's certificate among certificates without a key to tell it: the first that is no
// certificate authority and issues none of the others; failing that the first that is no
// authority, then the first that issues none of the others (a self-signed holder), then the first.
X509Ptr holderOfChain(const X509StackPtr& certificates) {
    const int count = certificates ? sk_X509_num(certificates.get()) : 0;
    auto issuesAnother = [&](X509* candidate) {
        for (int i = 0; i < count; ++i) {
            X509* other = sk_X509_value(certificates.get(), i);
            if (other != candidate && X509_check_issued(candidate, other) == X509_V_OK)
                return true;
        }
        return false;
    };
    constexpr std::pair<bool, bool> kPasses[] = {{true, true}, {false, true}, {true, false}, {false, false}};
    X509* chosen = nullptr;
    for (const auto& [needLeaf, needEndEntity] : kPasses) {
        for (int i = 0; i < count && !chosen; ++i) {
            X509* candidate = sk_X509_value(certificates.get(), i);
            if ((!needEndEntity || !isCertificateAuthority(candidate)) && (!needLeaf || !issuesAnother(candidate)))
                chosen = candidate;
        }
        if (chosen)
            break;
    }
    if (chosen)
        X509_up_ref(chosen);
    return X509Ptr(chosen);
}

// The holder's certificate of a bundle: the one matching its private key; failing that (a bundle
// of certificates only), as for a chain.
X509Ptr holderCertificate(X509Ptr keyCertificate, const X509StackPtr& others) {
    if (keyCertificate)
        return keyCertificate;
    return holderOfChain(others);
}

CertificateOrFailure fromPkcs12(PKCS12* bundle, const QString& password) {
    const QByteArray pass = password.toUtf8();
    if (exceedsKeyDerivationBound(bundle, pass))
        return Failure::Other;
    EVP_PKEY* rawKey = nullptr;
    X509* rawCert = nullptr;
    STACK_OF(X509)* rawOthers = nullptr;
    ERR_clear_error();
    // The parser refuses a bundle without a MAC when given a password, though such bundles open
    // fine. A MAC computed here, with that password, on our copy lets it go on to decryption,
    // which then tells whether the password is right.
    if (!pass.isEmpty() && !PKCS12_mac_present(bundle) &&
        !PKCS12_set_mac(bundle, pass.constData(), int(pass.size()), nullptr, 0, 1, EVP_sha256()))
        return classifyPkcs12Error();
    // An empty password makes the parser try both "no password" and the empty one, as exporters differ.
    const int parsed = PKCS12_parse(bundle, pass.constData(), &rawKey, &rawCert, &rawOthers);
    const EvpPkeyPtr key(rawKey);
    X509Ptr keyCertificate(rawCert);
    const X509StackPtr others(rawOthers);
    if (!parsed)
        return classifyPkcs12Error();
    ERR_clear_error();
    X509Ptr cert = holderCertificate(std::move(keyCertificate), others);
    if (!cert)
        return Failure::NotReadable;
    return cert;
}

} // namespace

CertificateOrFailure readCertificateBytes(const QByteArray& content, const QString& password,
                                          const CryptoContext& crypto) {
    if (content.isEmpty())
        return Failure::NotReadable;
    if (!crypto.get())
        return Failure::Other;
    const CryptoContext::Activation active(crypto);
    CertificateOrFailure result = Failure::NotReadable;
    if (content.contains("-----BEGIN")) {
        result = fromPem(content);
    } else {
        const auto* p = reinterpret_cast<const unsigned char*>(content.constData());
        const Pkcs12Ptr bundle(d2i_PKCS12(nullptr, &p, long(content.size())));
        result = bundle ? fromPkcs12(bundle.get(), password) : fromDerCertificate(content);
    }
    // Failed attempts leave entries behind; they must not surface in the host's own later calls.
    ERR_clear_error();
    return result;
}

CertificateOrFailure readCertificateFile(const QString& path, const QString& password, const CryptoContext& crypto) {
    // Only a regular file is read: a named pipe would block, a device such as /dev/zero never ends.
    const FileContents file = readRegularFile(path, kLargestCertificateFile);
    if (!file.ok())
        return Failure::NotReadable;
    return readCertificateBytes(file.bytes, password, crypto);
}

} // namespace kyt::certinfo
