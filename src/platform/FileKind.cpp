#include "platform/FileKind.h"

#include <QFile>
#include <sys/stat.h>

namespace kyt {

QString notRegularFileReason(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("is a folder, not a regular file");
    if (S_ISFIFO(mode))
        return QStringLiteral("is a named pipe (FIFO), not a regular file");
    if (S_ISCHR(mode))
        return QStringLiteral("is a character device, not a regular file");
    if (S_ISBLK(mode))
        return QStringLiteral("is a block device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("is a socket, not a regular file");
    if (S_ISLNK(mode))
        return QStringLiteral("is a symbolic link, not a regular file");
    return QStringLiteral("is not a regular file");
}

bool othersMayWrite(const QString& folder) {
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return false;
    return (st.st_mode & (S_ISVTX | S_IWOTH)) != 0;
}

} // namespace kyt
