#include "store/DocumentFiles.h"

#include "platform/Error.h"
#include "platform/RegularFile.h"
#include "platform/ReplacingFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace DocumentFiles {

namespace {
const QString kSource = QStringLiteral("KYTDscMgr.DocumentFiles");

constexpr QFile::Permissions kOwnerAll = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

[[noreturn]] void fail(int number, const QString& what, const QString& path, const QString& why = QString()) {
    QString text = what + QStringLiteral(" [") + path + QLatin1Char(']');
    if (!why.isEmpty())
        text += QStringLiteral(": ") + why;
    kyt::raise(number, text, kSource);
}

// "File [path] is a named pipe (FIFO), not a regular file": `why` goes on from the path.
[[noreturn]] void failAt(int number, const QString& path, const QString& why) {
    kyt::raise(number, QStringLiteral("File [") + path + QStringLiteral("] ") + why, kSource);
}

// Far above any scanned proof; a bound, so that a file growing without end is not copied for ever.
constexpr qint64 kLargestDocument = qint64(1) << 30;

void makeWritable(const QString& path) {
    const QFileInfo info(path);
    if (!info.isWritable())
        QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::WriteUser);
}
} // namespace

bool fileExists(const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && !info.isDir();
}

bool folderExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void makeFolder(const QString& path) {
    if (!QDir().mkdir(path))
        fail(kyt::errnum::PathNotFound, QStringLiteral("Cannot create folder"), path);
}

void copyOver(const QString& source, const QString& target, kyt::ReplacingFile::Durability durability) {
    // Only a regular file is copied: a named pipe would block the copy, a device never ends.
    QFile in;
    if (const QString why = kyt::openRegularFile(source, in); !why.isEmpty())
        failAt(kyt::pathIsAbsent(source) ? kyt::errnum::FileNotFound : kyt::errnum::FileAccess, source, why);
    if (QFileInfo::exists(target) && !QFileInfo(target).isWritable())
        fail(kyt::errnum::PermissionDenied, QStringLiteral("Permission denied"), target);

    // Written through a ReplacingFile, so a copy that breaks off (disk full, source unreadable
    // half-way) never leaves a truncated document behind, and a device or a planted link at the
    // target is never written through.
    kyt::ReplacingFile out(target, durability);
    if (!out.open())
        failAt(kyt::errnum::PermissionDenied, target, out.why());
    // One buffer for the whole copy, about a scanned page: most documents take one or two reads.
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got <= 0)
            break;
        copied += got;
        if (copied > kLargestDocument)
            failAt(kyt::errnum::FileAccess, source, QStringLiteral("is larger than 1 GiB"));
        if (out.device().write(buffer.constData(), got) != got)
            fail(kyt::errnum::FileAccess, QStringLiteral("Cannot write file"), target, out.device().errorString());
    }
    if (in.error() != QFile::NoError)
        fail(kyt::errnum::FileAccess, QStringLiteral("Cannot read file"), source, in.errorString());
    if (!out.commit())
        failAt(kyt::errnum::FileAccess, target, out.why());
}

void deleteFile(const QString& path) {
    makeWritable(path);
    if (!QFile::remove(path))
        fail(kyt::errnum::PermissionDenied, QStringLiteral("Cannot delete file"), path);
}

void deleteFolderTree(const QString& path) {
    // A folder without write permission keeps its files, so every folder of the tree is opened up
    // before the removal; files themselves need no permission change to be unlinked.
    QFile::setPermissions(path, QFile::permissions(path) | kOwnerAll);
    QDirIterator folders(path, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
    while (folders.hasNext()) {
        const QString folder = folders.next();
        QFile::setPermissions(folder, QFile::permissions(folder) | kOwnerAll);
    }
    if (!QDir(path).removeRecursively())
        fail(kyt::errnum::PermissionDenied, QStringLiteral("Cannot delete folder"), path);
}

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

bool samePath(const QString& a, const QString& b) {
    return a.toUpper() == b.toUpper();
}

bool sameFile(const QString& a, const QString& b) {
    struct stat first {
    }, second{};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

} // namespace DocumentFiles
