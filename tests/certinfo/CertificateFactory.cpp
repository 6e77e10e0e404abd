#include "CertificateFactory.h"

#include <QDir>
#include <QFileInfo>

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <QFile>
#include <QtEndian>
#include <stdexcept>

namespace kyt::test {

using namespace certinfo;

namespace {

void check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}

// The bytes a string type stores for `text`.
QByteArray encodedAs(int stringType, const QString& text) {
    switch (stringType) {
    case V_ASN1_BMPSTRING: {
        QByteArray ucs2;
        for (QChar c : text) {
            ucs2.append(char(c.unicode() >> 8));
            ucs2.append(char(c.unicode() & 0xff));
        }
        return ucs2;
    }
    case V_ASN1_T61STRING:
        return text.toLatin1();
    default:
        return text.toUtf8();
    }
}

void addEntries(X509_NAME* name, const QList<NameEntry>& entries) {
    for (const NameEntry& entry : entries) {
        const QByteArray bytes = encodedAs(entry.stringType, entry.text);
        check(X509_NAME_add_entry_by_NID(name, entry.nid, entry.stringType,
                                         reinterpret_cast<const unsigned char*>(bytes.constData()), int(bytes.size()),
                                         -1, 0),
              "name entry");
    }
}

void setTime(ASN1_TIME* field, const QDateTime& when) {
    check(ASN1_TIME_set(field, time_t(when.toSecsSinceEpoch())) != nullptr, "validity");
}

void addExtension(X509* cert, X509V3_CTX* ctx, int nid, const QString& value) {
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, ctx, nid, value.toUtf8().constData());
    check(ext != nullptr, "extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

} // namespace

NameEntry commonName(const QString& text) {
    return {NID_commonName, V_ASN1_UTF8STRING, text};
}

NameEntry unit(const QString& text) {
    return {NID_organizationalUnitName, V_ASN1_UTF8STRING, text};
}

NameEntry email(const QString& text) {
    return {NID_pkcs9_emailAddress, V_ASN1_IA5STRING, text};
}

KeyAndCertificate makeAuthority(const QString& name) {
    CertificateRecipe recipe;
    recipe.subject = {commonName(name)};
    recipe.authority = true;
    return makeCertificate(recipe);
}

QByteArray holderDer(const QString& name, const KeyAndCertificate& issuer) {
    CertificateRecipe recipe;
    recipe.subject = {commonName(name)};
    return derOf(makeCertificate(recipe, &issuer).cert.get());
}

KeyAndCertificate makeCertificate(const CertificateRecipe& recipe, const KeyAndCertificate* issuer) {
    KeyAndCertificate made;
    made.key.reset(EVP_EC_gen("P-256"));
    made.cert.reset(X509_new());
    check(made.key && made.cert, "key");
    X509* cert = made.cert.get();
    X509_set_version(cert, X509_VERSION_3);

    BIGNUM* serialNumber = BN_bin2bn(reinterpret_cast<const unsigned char*>(recipe.serial.constData()),
                                     int(recipe.serial.size()), nullptr);
    ASN1_INTEGER* serial = BN_to_ASN1_INTEGER(serialNumber, nullptr);
    X509_set_serialNumber(cert, serial);
    ASN1_INTEGER_free(serial);
    BN_free(serialNumber);

    setTime(X509_getm_notBefore(cert), recipe.notBefore);
    setTime(X509_getm_notAfter(cert), recipe.notAfter);
    addEntries(X509_get_subject_name(cert), recipe.subject);
    X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer->cert.get()) : X509_get_subject_name(cert));
    X509_set_pubkey(cert, made.key.get());

    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer ? issuer->cert.get() : cert, cert, nullptr, nullptr, 0);
    addExtension(cert, &ctx, NID_basic_constraints, recipe.authority ? "critical,CA:TRUE" : "CA:FALSE");
    if (!recipe.altNames.isEmpty())
        addExtension(cert, &ctx, NID_subject_alt_name, recipe.altNames);
    check(X509_sign(cert, issuer ? issuer->key.get() : made.key.get(), EVP_sha256()) > 0, "sign");
    return made;
}

QByteArray derOf(X509* cert) {
    unsigned char* der = nullptr;
    const int length = i2d_X509(cert, &der);
    check(length > 0, "der");
    QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

QByteArray pemOf(X509* cert) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    check(PEM_write_bio_X509(bio.get(), cert) == 1, "pem");
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, int(length));
}

namespace {
// Rewrites an encryption's parameters to claim 2^31 - 1 rounds, salt and scheme otherwise alike.
// Only the parameters change: deriving over that many rounds would take many minutes.
void claimAbsurdRounds(X509_ALGOR* algorithm) {
    const ASN1_OBJECT* oid = nullptr;
    X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
    X509_ALGOR* claim = OBJ_obj2nid(oid) == NID_pbes2
                            ? PKCS5_pbe2_set_iv(EVP_aes_256_cbc(), INT32_MAX, nullptr, 0, nullptr, NID_hmacWithSHA256)
                            : PKCS5_pbe_set(OBJ_obj2nid(oid), INT32_MAX, nullptr, 0);
    check(claim && X509_ALGOR_copy(algorithm, claim) == 1, "claim rounds");
    X509_ALGOR_free(claim);
}

// Claims absurd rounds for the encrypted certificate part or for the encrypted key of a bundle
// written without a MAC, which is what a file may be that nothing checks before decryption.
void claimAbsurdRounds(PKCS12* bundle, AbsurdRounds where) {
    STACK_OF(PKCS7)* parts = PKCS12_unpack_authsafes(bundle);
    check(parts != nullptr, "unpack authsafes");
    for (int i = 0; i < sk_PKCS7_num(parts); ++i) {
        PKCS7* part = sk_PKCS7_value(parts, i);
        const int nid = OBJ_obj2nid(part->type);
        if (nid == NID_pkcs7_encrypted && where == AbsurdRounds::CertificatePart)
            claimAbsurdRounds(part->d.encrypted->enc_data->algorithm);
        if (nid != NID_pkcs7_data || where != AbsurdRounds::Key)
            continue;
        STACK_OF(PKCS12_SAFEBAG)* bags = PKCS12_unpack_p7data(part);
        for (int b = 0; b < sk_PKCS12_SAFEBAG_num(bags); ++b) {
            PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, b);
            if (PKCS12_SAFEBAG_get_nid(bag) != NID_pkcs8ShroudedKeyBag)
                continue;
            X509_ALGOR* algorithm = nullptr;
            X509_SIG_getm(const_cast<X509_SIG*>(PKCS12_SAFEBAG_get0_pkcs8(bag)), &algorithm, nullptr);
            claimAbsurdRounds(algorithm);
        }
        PKCS7* repacked = PKCS12_pack_p7data(bags);
        sk_PKCS12_SAFEBAG_pop_free(bags, PKCS12_SAFEBAG_free);
        check(repacked != nullptr, "repack");
        sk_PKCS7_set(parts, i, repacked);
        PKCS7_free(part);
    }
    check(PKCS12_pack_authsafes(bundle, parts) == 1, "pack authsafes");
    sk_PKCS7_pop_free(parts, PKCS7_free);
}
} // namespace

QByteArray pkcs12Of(const KeyAndCertificate& holder, const Pkcs12Options& options, const CryptoContext& crypto) {
    int keyNid = NID_aes_256_cbc; // PBES2 with PBKDF2, as current exporters write
    int certNid = NID_aes_256_cbc;
    if (options.encryption == Pkcs12Encryption::TripleDes) {
        keyNid = certNid = NID_pbe_WithSHA1And3_Key_TripleDES_CBC;
    } else if (options.encryption == Pkcs12Encryption::Rc2Forty) {
        keyNid = NID_pbe_WithSHA1And3_Key_TripleDES_CBC; // what the older exporters did: 3DES key, RC2-40 certificates
        certNid = NID_pbe_WithSHA1And40BitRC2_CBC;
    }
    X509StackPtr chain(sk_X509_new_null());
    for (X509* extra : options.chain) {
        X509_up_ref(extra);
        sk_X509_push(chain.get(), extra);
    }
    // The MAC is added separately so that the modern bundles carry a SHA-256 one.
    const Pkcs12Ptr bundle(PKCS12_create_ex(options.password, "holder", options.withKey ? holder.key.get() : nullptr,
                                            holder.cert.get(), chain.get(), keyNid, certNid, 2048, -1, 0, crypto.get(),
                                            nullptr));
    check(bundle != nullptr, "pkcs12");
    if (options.absurdRounds == AbsurdRounds::CertificatePart || options.absurdRounds == AbsurdRounds::Key) {
        claimAbsurdRounds(bundle.get(), options.absurdRounds);
    } else if (options.absurdRounds == AbsurdRounds::Mac) {
        // Only the parameters: computing a MAC over that many iterations would take minutes.
        check(PKCS12_setup_mac(bundle.get(), INT32_MAX, nullptr, 8, EVP_sha256()) == 1, "mac");
    } else if (options.withMac) {
        const EVP_MD* md = options.encryption == Pkcs12Encryption::Aes256Pbkdf2 ? EVP_sha256() : EVP_sha1();
        check(PKCS12_set_mac(bundle.get(), options.password, -1, nullptr, 0, 2048, md) == 1, "mac");
    }
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(bundle.get(), &der);
    check(length > 0, "pkcs12 der");
    QByteArray bytes(reinterpret_cast<const char*>(der), length);
    OPENSSL_free(der);
    return bytes;
}

QString writeFile(const QString& dir, const QString& name, const QByteArray& content) {
    const QString path = dir + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    check(file.open(QIODevice::WriteOnly) && file.write(content) == content.size(), "write");
    return path;
}

} // namespace kyt::test
