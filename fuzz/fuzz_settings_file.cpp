// The settings file reader and writer on any file content: reading never fails, and a value
// written is the value read back, whatever else the file holds.

#include "platform/ProfileFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <QFile>
#include <QTemporaryDir>

namespace {
bool printableAscii(const QString& s) {
    for (const QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Confg.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    const kyt::ProfileFile settings(path);
    // Names and values taken from the input itself, so that they can meet what the file holds.
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    // Characters are dropped before blanks are folded, so that no name starts or ends with a blank.
    const QString section = text.left(8).remove(QLatin1Char(']')).simplified();
    const QString key = text.mid(8, 8).remove(QLatin1Char('=')).simplified();
    settings.read(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0"));
    settings.read(section, key, QString());
    const QString value = QStringLiteral("v") + text.mid(16, 20).simplified();
    // The round trip is checked for plain names and values (other text may be read back in
    // another encoding when the rest of the file is not UTF-8).
    if (section.isEmpty() || key.isEmpty() || key.startsWith(QLatin1Char(';')) || key.startsWith(QLatin1Char('[')) ||
        !printableAscii(section + key + value))
        return 0;
    if (settings.write(section, key, value) &&
        settings.read(section, key, QString()) != value.left(kyt::ProfileFile::kMaxValueLength).trimmed())
        std::abort();
    return 0;
}
