#pragma once

#include <optional>
#include <QString>
#include <QStringList>

#include <openssl/x509.h>

namespace kyt::certinfo {

// Values of a certificate as the component reports them. Every text comes out as UTF-8 whatever
// string type the certificate stores it in; std::nullopt means the certificate has no such value.

// All values of one attribute of a name, in the order they appear. `attribute` is a short name
// such as "CN", "OU", "O", "E" (e-mail), "L", "S" or "C", in any letter case.
bool isNameAttribute(const QString& attribute);
QStringList nameAttributeValues(const X509_NAME* name, const QString& attribute);

// One value of an attribute: the first, except for several "OU" values, where the unit naming the
// certificate class ("Class 3 ...", in any letter case) is the one a register wants.
std::optional<QString> nameAttribute(const X509_NAME* name, const QString& attribute);

// The serial number as upper-case hexadecimal, two digits for each byte of its encoding.
QString serialNumberText(const X509* cert);

// Start and end of validity as local date and time, "dd/MM/yyyy HH:mm:ss".
std::optional<QString> validFromText(const X509* cert);
std::optional<QString> validToText(const X509* cert);

// The first e-mail address among the subject's alternative names.
std::optional<QString> firstAlternativeEmail(const X509* cert);

// True when the certificate's basic constraints make it a certificate authority.
bool isCertificateAuthority(const X509* cert);

// The holder's common name, or empty.
QString holderName(const X509* cert);
// The issuer's common name, or empty.
QString issuerName(const X509* cert);

} // namespace kyt::certinfo
