// The certificate file reader on any bytes with any password. Input: one byte giving the length
// of the password (up to 63), the password, then the file's content.

#include "certinfo/CertificateFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const kyt::certinfo::CryptoContext crypto;
    if (size == 0)
        return 0;
    const size_t passwordLength = std::min<size_t>(data[0] & 0x3f, size - 1);
    const QString password = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(passwordLength));
    const QByteArray content(reinterpret_cast<const char*>(data + 1 + passwordLength),
                             qsizetype(size - 1 - passwordLength));
    kyt::certinfo::readCertificateBytes(content, password, crypto);
    return 0;
}
