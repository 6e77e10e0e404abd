#include "certinfo/CertificateFields.h"

#include "certinfo/OpenSslHandles.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <QDateTime>
#include <QTimeZone>

namespace kyt::certinfo {

namespace {

const QString kDisplayFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");

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
    // The last moment of year 9999 is how a certificate says it never expires; in local time it
    // would fall in a year of five digits east of UTC, or lose its meaning west of it. It is shown
    // as that moment in every zone, as is any local time that would pass it.
    const QDateTime never(QDate(9999, 12, 31), QTime(23, 59, 59), QTimeZone::utc());
    const QDateTime local = instant.toLocalTime();
    if (instant == never || local.date().year() > 9999)
        return never.toString(kDisplayFormat);
    return local.toString(kDisplayFormat);
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
    // The value's own bytes, as issuers print serials: without the 00 byte that the encoding adds
    // to keep a value with its top bit set positive.
    const QByteArray value(reinterpret_cast<const char*>(ASN1_STRING_get0_data(serial)), ASN1_STRING_length(serial));
    const QString hex = value.isEmpty() ? QStringLiteral("00") : QString::fromLatin1(value.toHex().toUpper());
    return ASN1_STRING_type(serial) == V_ASN1_NEG_INTEGER ? QLatin1Char('-') + hex : hex;
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
