#include "store/BulkReader.h"

#include "component/ClsMain.h"
#include "component/Module1.h"

#include <dirent.h>
#include <fcntl.h>
#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace bulk {

namespace {
constexpr int kReadFile = -2;
constexpr int kExtensionLength = 4;
// Within the details: the certificate name, the start and the end of validity.
constexpr int kName = 0;
constexpr int kValidFrom = 4;
constexpr int kValidTo = 5;

bool folderReadable(const QString& path) {
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}
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
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        // A subfolder that can be read holds files of its own, which are not taken.
        if (entry.isDir() && !entry.isSymLink() && folderReadable(entry.filePath()))
            continue;
        paths << dir.filePath(entry.fileName());
    }
    return paths;
}

QString FileIdentity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
    return path;
}

QString WhyNotReadable(const QString& path) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &st) != 0)
        return kFileNotFound;
    if (S_ISLNK(st.st_mode) && ::stat(name.constData(), &st) != 0)
        return QStringLiteral("Broken link: the file it points to does not exist");
    if (S_ISDIR(st.st_mode))
        return folderReadable(path) ? QStringLiteral("Not a file: a folder") : QStringLiteral("Folder cannot be read");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("Not a file: a named pipe");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("Not a file: a socket");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("Not a file: a device");
    // Tried, not worked out from the permission bits: what holds is what opening finds.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return QStringLiteral("File cannot be read: permission denied");
    ::close(fd);
    return {};
}

ReadResult ReadEntry(ClsMain& cls, const ListEntry& entry, const QString& password, kyt::ErrorTrap& trap) {
    ReadResult result;
    const bool isFile = entry.kind == kFileKind;
    result.fileName = isFile ? GetFileTitle(entry.name) : entry.name;
    if (isFile) {
        if (const QString why = WhyNotReadable(entry.name); !why.isEmpty()) {
            result.status = why;
            // The status says why already; the reason line repeats it in the reasons' own words.
            result.reason = why == kFileNotFound ? QStringLiteral("file not found") : why;
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
