#include "store/DocumentFiles.h"

#include "platform/Error.h"

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

void copyOver(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        fail(kyt::errnum::FileNotFound, QStringLiteral("Cannot read file"), source, in.errorString());
    if (QFileInfo::exists(target) && !QFileInfo(target).isWritable())
        fail(kyt::errnum::PermissionDenied, QStringLiteral("Permission denied"), target);

    // Written beside the target first and renamed over it at the end, so a copy that breaks off
    // (disk full, source unreadable half-way) never leaves a truncated document behind.
    const QString partial = target + QStringLiteral(".copying");
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(kyt::errnum::PermissionDenied, QStringLiteral("Cannot write file"), target, out.errorString());
    QByteArray chunk;
    while (!in.atEnd()) {
        chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFile::NoError)
            break;
        if (out.write(chunk) != chunk.size()) {
            const QString why = out.errorString();
            out.close();
            QFile::remove(partial);
            fail(kyt::errnum::FileAccess, QStringLiteral("Cannot write file"), target, why);
        }
    }
    if (in.error() != QFile::NoError) {
        const QString why = in.errorString();
        out.close();
        QFile::remove(partial);
        fail(kyt::errnum::FileAccess, QStringLiteral("Cannot read file"), source, why);
    }
    out.close();
    if (QFileInfo::exists(target) && !QFile::remove(target)) {
        QFile::remove(partial);
        fail(kyt::errnum::PermissionDenied, QStringLiteral("Cannot replace file"), target);
    }
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        fail(kyt::errnum::FileAccess, QStringLiteral("Cannot write file"), target);
    }
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
