#include "bulk/BulkReader.h"

#include "component/ClsMain.h"
#include "component/Module1.h"

#include <QDir>
#include <QFileInfo>

namespace bulk {

namespace {
constexpr int kReadFile = -2;
constexpr int kExtensionLength = 4;
// Within the details: the certificate name, the start and the end of validity.
constexpr int kName = 0;
constexpr int kValidFrom = 4;
constexpr int kValidTo = 5;
} // namespace

const QStringList& ResultHeadings() {
    static const QStringList headings = {QStringLiteral("Sr. No."),           QStringLiteral("File Name"),
                                         QStringLiteral("Ceritificate Name"), QStringLiteral("Type of DSC"),
                                         QStringLiteral("Serial Number"),     QStringLiteral("Issuing Authority"),
                                         QStringLiteral("Valid From"),        QStringLiteral("Valid To"),
                                         QStringLiteral("E-mail Id"),         QStringLiteral("Status")};
    return headings;
}

QString GetFileTitle(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists())
        return path;
    const QString name = file.fileName();
    if (name.compare(path, Qt::CaseInsensitive) != 0 && name.size() >= kExtensionLength)
        return name.chopped(kExtensionLength);
    return name;
}

QStringList FolderFiles(const QString& folder) {
    const QDir dir(folder);
    QStringList paths;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

ReadResult ReadEntry(ClsMain& cls, const ListEntry& entry, const QString& password, kyt::ErrorTrap& trap) {
    ReadResult result;
    const bool isFile = entry.kind == kFileKind;
    trap([&] { result.fileName = isFile ? GetFileTitle(entry.name) : entry.name; });
    if (isFile) {
        if (!QFileInfo(entry.name).isFile()) {
            result.status = kFileNotFound;
            result.reason = QStringLiteral("file not found");
            return result;
        }
        trap([&] { cls.GetSignInfo(entry.name, password, kReadFile); });
    } else {
        trap([&] { cls.GetSignInfo(QString(), QString(), RoundHalfEven(Val(entry.kind))); });
    }
    trap([&] {
        const QString error = cls.GetCertInfo(0);
        if (error.isEmpty()) {
            for (int k = 0; k < kDetailCount; ++k)
                result.details[size_t(k)] = cls.GetCertInfo(short(k + 1));
        } else {
            result.status = error;
            result.reason = cls.failureReason();
        }
    });
    if (result.status.isEmpty()) {
        if (result.details[kName].isEmpty() || result.details[kValidFrom].isEmpty() ||
            result.details[kValidTo].isEmpty()) {
            // The certificate name, if any, stays to say which certificate it was.
            for (int k = kName + 1; k < kDetailCount; ++k)
                result.details[size_t(k)].clear();
            result.status = kInvalidCertificate;
        }
    } else {
        result.details = {};
    }
    return result;
}

} // namespace bulk
