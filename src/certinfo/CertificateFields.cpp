#include "certinfo/CertificateFields.h"

#include "certinfo/OpenSslHandles.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <QDateTime>
#include <QTimeZone>

namespace kyt::certinfo {

namespace {

int attributeNid(const QString& attribute) {
    const QString a = attribute.trimmed().toUpper();
    if (a == QLatin1String("CN"))
        return NID_commonName;
    if (a == QLatin1String("OU"))
        return NID_organizationalUnitName;
    if (a == QLatin1String("O"))
        return NID_organizationName;
    if (a == QLatin1String("E") || a == QLatin1String("EMAIL"))
        return NID_pkcs9_emailAddress;
    if (a == QLatin1String("L"))
        return NID_localityName;
    if (a == QLatin1String("S") || a == QLatin1String("ST"))
        return NID_stateOrProvinceName;
    if (a == QLatin1String("C"))
        return NID_countryName;
    if (a == QLatin1String("T") || a == QLatin1String("TITLE"))
        return NID_title;
    if (a == QLatin1String("SERIALNUMBER"))
        return NID_serialNumber;
    return NID_undef;
}

std::optional<QString> toUtf8Text(const ASN1_STRING* value) {
    unsigned char* raw = nullptr;
    const int length = value ? ASN1_STRING_to_UTF8(&raw, value) : -1;
    if (length < 0)
        return std::nullopt;
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(raw), length);
    OPENSSL_free(raw);
    return text;
}

std::optional<QString> localTimeText(const ASN1_TIME* time) {
    struct tm utc = {};
    if (!time || !ASN1_TIME_to_tm(time, &utc))
        return std::nullopt;
    const QDateTime instant(QDate(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday),
                            QTime(utc.tm_hour, utc.tm_min, utc.tm_sec), QTimeZone::utc());
    if (!instant.isValid())
        return std::nullopt;
    return instant.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

} // namespace

bool isNameAttribute(const QString& attribute) {
    return attributeNid(attribute) != NID_undef;
}

QStringList nameAttributeValues(const X509_NAME* name, const QString& attribute) {
    QStringList values;
    const int nid = attributeNid(attribute);
    if (!name || nid == NID_undef)
        return values;
    for (int i = X509_NAME_get_index_by_NID(name, nid, -1); i >= 0; i = X509_NAME_get_index_by_NID(name, nid, i)) {
        if (const auto text = toUtf8Text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, i))))
            values << *text;
    }
    return values;
}

std::optional<QString> nameAttribute(const X509_NAME* name, const QString& attribute) {
    const QStringList values = nameAttributeValues(name, attribute);
    if (values.isEmpty())
        return std::nullopt;
    if (attributeNid(attribute) == NID_organizationalUnitName) {
        for (const QString& unit : values) {
            if (unit.contains(QLatin1String("class"), Qt::CaseInsensitive))
                return unit;
        }
    }
    return values.first();
}

QString serialNumberText(const X509* cert) {
    const ASN1_INTEGER* serial = cert ? X509_get0_serialNumber(cert) : nullptr;
    if (!serial)
        return {};
    // The DER content octets, as certificate viewers show them: a serial whose top bit is set
    // keeps the leading zero byte that marks it positive.
    unsigned char* der = nullptr;
    const int derLength = i2d_ASN1_INTEGER(serial, &der);
    if (derLength <= 0)
        return {};
    const unsigned char* p = der;
    long contentLength = 0;
    int tag = 0;
    int tagClass = 0;
    QString text;
    if (!(ASN1_get_object(&p, &contentLength, &tag, &tagClass, derLength) & 0x80))
        text = QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p), int(contentLength)).toHex().toUpper());
    OPENSSL_free(der);
    return text;
}

std::optional<QString> validFromText(const X509* cert) {
    return cert ? localTimeText(X509_get0_notBefore(cert)) : std::nullopt;
}

std::optional<QString> validToText(const X509* cert) {
    return cert ? localTimeText(X509_get0_notAfter(cert)) : std::nullopt;
}

std::optional<QString> firstAlternativeEmail(const X509* cert) {
    if (!cert)
        return std::nullopt;
    const GeneralNamesPtr names(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr)));
    const int count = names ? sk_GENERAL_NAME_num(names.get()) : 0;
    for (int i = 0; i < count; ++i) {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(names.get(), i);
        if (entry->type == GEN_EMAIL)
            return toUtf8Text(entry->d.rfc822Name);
    }
    return std::nullopt;
}

bool isCertificateAuthority(const X509* cert) {
    if (!cert)
        return false;
    const BasicConstraintsPtr constraints(
        static_cast<BASIC_CONSTRAINTS*>(X509_get_ext_d2i(cert, NID_basic_constraints, nullptr, nullptr)));
    return constraints && constraints->ca;
}

QString holderName(const X509* cert) {
    return cert ? nameAttribute(X509_get_subject_name(cert), QStringLiteral("CN")).value_or(QString()) : QString();
}

QString issuerName(const X509* cert) {
    return cert ? nameAttribute(X509_get_issuer_name(cert), QStringLiteral("CN")).value_or(QString()) : QString();
}

} // namespace kyt::certinfo
