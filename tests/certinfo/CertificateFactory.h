#pragma once

// Builds the certificates and certificate files the tests read, at test time, with OpenSSL.

#include "certinfo/CryptoContext.h"
#include "certinfo/OpenSslHandles.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <vector>

namespace kyt::test {

// One attribute of a name, stored with a chosen ASN.1 string type (V_ASN1_UTF8STRING,
// V_ASN1_BMPSTRING, V_ASN1_PRINTABLESTRING, V_ASN1_T61STRING, V_ASN1_IA5STRING).
struct NameEntry {
    int nid;
    int stringType;
    QString text;
};

struct CertificateRecipe {
    QList<NameEntry> subject;
    QByteArray serial = QByteArray::fromHex("01"); // big-endian magnitude
    QDateTime notBefore = QDateTime(QDate(2024, 3, 5), QTime(6, 7, 8), Qt::UTC);
    QDateTime notAfter = QDateTime(QDate(2051, 1, 1), QTime(20, 0, 0), Qt::UTC);
    QString altNames; // as in a configuration file: "email:a@b.example,DNS:b.example"
    bool authority = false;
};

struct KeyAndCertificate {
    certinfo::X509Ptr cert;
    certinfo::EvpPkeyPtr key;
};

// The usual string types: common name and unit in UTF8String, e-mail in IA5String.
NameEntry commonName(const QString& text);
NameEntry unit(const QString& text);
NameEntry email(const QString& text);

// Self-signed when `issuer` is null, else signed by it with its name as issuer.
KeyAndCertificate makeCertificate(const CertificateRecipe& recipe, const KeyAndCertificate* issuer = nullptr);
// A self-signed certificate authority called `name`.
KeyAndCertificate makeAuthority(const QString& name);
// The DER of a holder's certificate with just a common name, issued by `issuer`.
QByteArray holderDer(const QString& name, const KeyAndCertificate& issuer);

QByteArray derOf(X509* cert);
QByteArray pemOf(X509* cert);

enum class Pkcs12Encryption { Aes256Pbkdf2, TripleDes, Rc2Forty };
// Where a bundle claims 2^31 - 1 rounds of key derivation, as a damaged or hostile file may.
enum class AbsurdRounds { Nowhere, Mac, CertificatePart, Key };

struct Pkcs12Options {
    const char* password = "secret"; // nullptr: no password at all
    Pkcs12Encryption encryption = Pkcs12Encryption::Aes256Pbkdf2;
    bool withMac = true;
    bool withKey = true;                               // false: a bundle of certificates only
    std::vector<X509*> chain = {};                     // further certificates, such as the issuer
    AbsurdRounds absurdRounds = AbsurdRounds::Nowhere; // the parts elsewhere stay without a MAC
};

// A PKCS#12 bundle of the holder's key and certificate (DER). The context supplies RC2-40.
QByteArray pkcs12Of(const KeyAndCertificate& holder, const Pkcs12Options& options,
                    const certinfo::CryptoContext& crypto);

// Writes `content` to `dir`/`name` (a name may hold subfolders, made as needed) and returns the path.
QString writeFile(const QString& dir, const QString& name, const QByteArray& content);

} // namespace kyt::test
