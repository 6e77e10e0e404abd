#include "certinfo/MiscInfo.h"

#include "certinfo/CertificateFields.h"

#include <optional>

namespace kyt::certinfo {

namespace {
QString valueOrMissing(const std::optional<QString>& value) {
    return value ? *value : codeText(Failure::NotReadable);
}
} // namespace

QString miscInfo(const X509* cert, const QString& part, const QString& field) {
    if (!cert)
        return codeText(Failure::Other);
    const QString p = part.trimmed().toUpper();
    if (p == QLatin1String("SUB") || p == QLatin1String("ISS")) {
        const X509_NAME* name = p == QLatin1String("SUB") ? X509_get_subject_name(cert) : X509_get_issuer_name(cert);
        if (!isNameAttribute(field))
            return codeText(Failure::Other);
        return valueOrMissing(nameAttribute(name, field));
    }
    if (p == QLatin1String("SERIALNUMBER")) {
        const QString serial = serialNumberText(cert);
        return serial.isEmpty() ? codeText(Failure::NotReadable) : serial;
    }
    if (p == QLatin1String("VALIDFROM"))
        return valueOrMissing(validFromText(cert));
    if (p == QLatin1String("VALIDTO"))
        return valueOrMissing(validToText(cert));
    if (p == QLatin1String("SUBALTNAMES_EMAIL"))
        return valueOrMissing(firstAlternativeEmail(cert));
    return codeText(Failure::Other);
}

} // namespace kyt::certinfo
