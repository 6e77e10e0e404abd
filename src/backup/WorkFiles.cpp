#include "backup/WorkFiles.h"

#include <fcntl.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace backup {

namespace {
constexpr int kRandomPart = 6; // the XXXXXX of the temporary names

bool before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// True when `name` is a work file of a backup to `archiveName`.
bool isWorkName(const QString& name, const QString& archiveName, bool folder) {
    const QString prefix = folder ? QStringLiteral(".kytbackup-") : QLatin1Char('.') + archiveName + QLatin1Char('.');
    return name.size() == prefix.size() + kRandomPart && name.startsWith(prefix);
}
} // namespace

WorkLock::WorkLock(int fd) : fd_(::fcntl(fd, F_DUPFD_CLOEXEC, 0)) {
    // A duplicate shares the lock of the one it was taken from, and keeps it once that one closes.
    if (fd_ >= 0)
        ::flock(fd_, LOCK_EX | LOCK_NB);
}

WorkLock::WorkLock(const QString& folder)
    : fd_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0)
        ::flock(fd_, LOCK_EX | LOCK_NB);
}

WorkLock::~WorkLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

void removeStaleWork(const QString& file) {
    timespec began{};
    ::clock_gettime(CLOCK_REALTIME, &began);
    const QFileInfo target(file);
    const QDir folder(target.absolutePath());
    for (const QString& name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const bool partial = isWorkName(name, target.fileName(), false);
        const bool copy = isWorkName(name, target.fileName(), true);
        if (!partial && !copy)
            continue;
        const QString path = folder.filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (copy ? O_DIRECTORY : 0));
        if (fd < 0)
            continue;
        struct stat st {};
        const bool stale = ::fstat(fd, &st) == 0 && (copy ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) &&
                           st.st_uid == ::geteuid() && before(st.st_mtim, began) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (stale) {
            if (copy)
                QDir(path).removeRecursively();
            else
                ::unlink(QFile::encodeName(path).constData());
        }
        ::close(fd);
    }
}

} // namespace backup
