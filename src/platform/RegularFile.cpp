#include "platform/RegularFile.h"

#include "platform/FileKind.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace kyt {

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString sizeText(qint64 bytes) {
    if (bytes >= 1 << 20 && bytes % (1 << 20) == 0)
        return QStringLiteral("%1 MiB").arg(bytes >> 20);
    if (bytes >= 1 << 10 && bytes % (1 << 10) == 0)
        return QStringLiteral("%1 KiB").arg(bytes >> 10);
    return QStringLiteral("%1 bytes").arg(bytes);
}

using Status = FileContents::Status;

Status whyNotRegular(const QString& path, QString* why) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (path.isEmpty() || ::stat(name.constData(), &st) != 0) {
        const int error = path.isEmpty() ? ENOENT : errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(name.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
            *why = QStringLiteral("is a symbolic link to a file that does not exist");
            return Status::Unreadable;
        }
        if (error == ENOENT || error == ENOTDIR) {
            *why = QStringLiteral("does not exist");
            return Status::Missing;
        }
        *why = QStringLiteral("cannot be read: %1").arg(systemReason(error));
        return Status::Unreadable;
    }
    *why = notRegularFileReason(st.st_mode);
    return why->isEmpty() ? Status::Read : Status::NotRegular;
}

Status openInto(const QString& path, QFile& file, QString* why) {
    // Looked at before opening: opening some devices already does something (a tape rewinds).
    if (const Status status = whyNotRegular(path, why); status != Status::Read)
        return status;
    // Non-blocking, in case a pipe took the file's place since: the open then returns at once.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *why = QStringLiteral("cannot be read: %1").arg(systemReason(errno));
        return Status::Unreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *why = QStringLiteral("cannot be read: %1").arg(systemReason(errno));
        ::close(fd);
        return Status::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = notRegularFileReason(st.st_mode);
        ::close(fd);
        return Status::NotRegular;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *why = QStringLiteral("cannot be read: %1").arg(file.errorString());
        return Status::Unreadable;
    }
    return Status::Read;
}

} // namespace

QString whyNotRegularFile(const QString& path) {
    QString why;
    whyNotRegular(path, &why);
    return why;
}

bool pathIsAbsent(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT;
}

QString openRegularFile(const QString& path, QFile& file) {
    QString why;
    openInto(path, file, &why);
    return why;
}

FileContents readRegularFile(const QString& path, qint64 maxBytes) {
    FileContents result;
    QFile file;
    result.status = openInto(path, file, &result.why);
    if (result.status != Status::Read)
        return result;
    const QString tooLarge = QStringLiteral("is larger than %1").arg(sizeText(maxBytes));
    if (file.size() > maxBytes) {
        result.status = Status::TooLarge;
        result.why = tooLarge;
        return result;
    }
    // A file may grow while it is read, and some report no size at all: the bound holds anyway.
    result.bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.status = Status::Unreadable;
        result.why = QStringLiteral("cannot be read: %1").arg(file.errorString());
        result.bytes.clear();
    } else if (result.bytes.size() > maxBytes) {
        result.status = Status::TooLarge;
        result.why = tooLarge;
        result.bytes.clear();
    }
    return result;
}

} // namespace kyt
