#include "store/DocumentWrites.h"

#include <fcntl.h>
#include <QFile>
#include <QThread>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

DocumentWrites::DocumentWrites(const QString& docPath, Side side, std::chrono::milliseconds patience) {
    const QString folder = docPath + QStringLiteral("/DscDocs");
    const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/.writing")).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0)
        return;
    // Only a regular file is a lock of ours: a device or pipe planted under the name is left alone.
    struct stat kind {};
    if (::fstat(fd, &kind) != 0 || !S_ISREG(kind.st_mode)) {
        ::close(fd);
        return;
    }
    const int mode = side == Side::Writer ? LOCK_SH : LOCK_EX;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd, mode | LOCK_NB) == 0) {
            fd_ = fd;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            timedOut_ = true;
            break;
        }
        QThread::msleep(10);
    }
    ::close(fd);
}

DocumentWrites::~DocumentWrites() {
    release();
}

void DocumentWrites::release() {
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}
