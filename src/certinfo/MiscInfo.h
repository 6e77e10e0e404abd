#pragma once

#include "certinfo/ResultCodes.h"

#include <openssl/x509.h>
#include <QString>

namespace kyt::certinfo {

// Answers the component's field question for a selected certificate:
//   "SUB" or "ISS" with an attribute ("CN", "OU", "E", ...), the subject's or issuer's value;
//   "SERIALNUMBER", "VALIDFROM", "VALIDTO", "SUBALTNAMES_EMAIL" with an empty field.
// A value the certificate lacks is "-1"; no certificate, or a question we do not know, is "-3".
QString miscInfo(const X509* cert, const QString& part, const QString& field);

} // namespace kyt::certinfo
