#pragma once

#include "certinfo/CryptoContext.h"
#include "certinfo/OpenSslHandles.h"
#include "certinfo/ResultCodes.h"

#include <QByteArray>
#include <QString>
#include <variant>

namespace kyt::certinfo {

// Real certificate files are a few kilobytes; anything larger than this is not one, and is not read.
inline constexpr qint64 kLargestCertificateFile = 32 * 1024 * 1024;

// A certificate read from a file, or why there is none.
using CertificateOrFailure = std::variant<X509Ptr, Failure>;

// Reads the holder's certificate from a certificate file. The kind of file is told by its content,
// not its name: PEM text, a DER-encoded PKCS#12 bundle (opened with `password`, which may be
// empty), or a DER-encoded X.509 certificate.
CertificateOrFailure readCertificateFile(const QString& path, const QString& password, const CryptoContext& crypto);

// The same for content already in memory.
CertificateOrFailure readCertificateBytes(const QByteArray& content, const QString& password,
                                          const CryptoContext& crypto);

} // namespace kyt::certinfo
