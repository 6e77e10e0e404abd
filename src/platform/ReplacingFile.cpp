#include "platform/ReplacingFile.h"

#include "platform/FileKind.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace kyt {

namespace {

constexpr int kMostLinks = 40;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

// The permission bits a new file gets: the usual read and write for all, less the process's mask.
// Only /proc tells the mask without changing it, and reading it there costs more than writing a
// small document, so it is read once: this program never changes its mask.
mode_t newFileMode() {
    static const mode_t mode = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        mode_t mask = 022;
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("Umask:"))
                    mask = mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
        return mode_t(0666 & ~mask);
    }();
    return mode;
}

struct Target {
    QString path;      // empty when refused
    QString why;       // why refused
    struct stat st {}; // of the target, when `exists`
    bool exists = false;
};

// Where the bytes for `path` go: the path itself, or the end of its chain of links.
Target targetFor(const QString& path) {
    Target t;
    if (path.isEmpty()) {
        t.why = QStringLiteral("is no file name");
        return t;
    }
    QString at = QFileInfo(path).absoluteFilePath();
    for (int links = 0;; ++links) {
        if (::lstat(QFile::encodeName(at).constData(), &t.st) != 0) {
            if (errno != ENOENT) {
                t.why = QStringLiteral("cannot be written: %1").arg(systemReason(errno));
                return t;
            }
            if (!QFileInfo(folderOf(at)).isDir()) {
                t.why = QStringLiteral("cannot be written: the folder %1 does not exist").arg(folderOf(at));
                return t;
            }
            t.path = at;
            return t;
        }
        if (!S_ISLNK(t.st.st_mode))
            break;
        // In a folder where others may make names, the link may be theirs, pointing at a file of
        // this user's that they want replaced.
        if (othersMayWrite(folderOf(at))) {
            t.why = QStringLiteral("is a symbolic link in a folder that others may write; it is not followed");
            return t;
        }
        if (links == kMostLinks) {
            t.why = QStringLiteral("cannot be written: %1").arg(systemReason(ELOOP));
            return t;
        }
        at = QFileInfo(at).symLinkTarget();
    }
    t.exists = true;
    if (const QString why = notRegularFileReason(t.st.st_mode); !why.isEmpty()) {
        t.why = why;
        return t;
    }
    if (t.st.st_uid != ::geteuid() && othersMayWrite(folderOf(at))) {
        t.why = QStringLiteral("belongs to another user, in a folder that others may write");
        return t;
    }
    t.path = at;
    return t;
}

} // namespace

ReplacingFile::ReplacingFile(QString path, Durability durability) : path_(std::move(path)), durability_(durability) {}

ReplacingFile::~ReplacingFile() {
    cancel();
}

QString ReplacingFile::whyNotWritable(const QString& path) {
    return targetFor(path).why;
}

QString ReplacingFile::writeAll(const QString& path, const QByteArray& bytes) {
    ReplacingFile out(path);
    if (!out.open())
        return out.why();
    if (out.device().write(bytes) != bytes.size()) {
        const QString why = QStringLiteral("cannot be written: %1").arg(out.device().errorString());
        out.cancel();
        return why;
    }
    return out.commit() ? QString() : out.why();
}

bool ReplacingFile::open() {
    cancel();
    const Target target = targetFor(path_);
    if (target.path.isEmpty()) {
        why_ = target.why;
        return false;
    }
    target_ = target.path;
    // A deferred file whose name is free is written under that name at once: nothing stands there
    // to be kept whole, and a rename would not make it last any better, since it reaches the disk
    // only with the caller's sync. That saves a name made and removed for each of many documents.
    // The name is taken only if still free (a link or a file made since is never written through);
    // an uncommitted file is removed again.
    if (durability_ == Durability::Deferred && !target.exists) {
        const int fd =
            ::open(QFile::encodeName(target_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary_ = target_;
            return openFile(fd);
        }
        if (errno != EEXIST) {
            why_ = QStringLiteral("cannot be written: %1").arg(systemReason(errno));
            return false;
        }
    }
    const QFileInfo info(target_);
    QByteArray pattern = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        why_ = QStringLiteral("cannot be written: %1").arg(systemReason(errno));
        return false;
    }
    temporary_ = QFile::decodeName(pattern);
    // The new file takes the old one's permissions (and owner, where this user may give it).
    if (target.exists) {
        ::fchmod(fd, target.st.st_mode & 07777);
        if (target.st.st_uid != ::geteuid() || target.st.st_gid != ::getegid()) {
            [[maybe_unused]] const int refused = ::fchown(fd, target.st.st_uid, target.st.st_gid);
        }
    } else {
        ::fchmod(fd, newFileMode());
    }
    return openFile(fd);
}

bool ReplacingFile::openFile(int fd) {
    if (!file_.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        why_ = QStringLiteral("cannot be written: %1").arg(file_.errorString());
        cancel();
        return false;
    }
    why_.clear();
    return true;
}

bool ReplacingFile::commit() {
    if (temporary_.isEmpty()) {
        if (why_.isEmpty())
            why_ = QStringLiteral("cannot be written: it was not opened");
        return false;
    }
    const bool written = file_.flush() && (durability_ == Durability::Deferred || ::fsync(file_.handle()) == 0) &&
                         file_.error() == QFileDevice::NoError;
    // A deferred file starts on its way to the disk now, without waiting for it, so that the
    // caller's one sync at the end finds little left to write.
    if (written && durability_ == Durability::Deferred)
        ::sync_file_range(file_.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
    const QString writeError = written ? QString() : file_.errorString();
    file_.close();
    if (!written) {
        why_ = QStringLiteral("cannot be written: %1").arg(writeError);
        cancel();
        return false;
    }
    if (temporary_ != target_ &&
        ::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) != 0) {
        why_ = QStringLiteral("cannot be replaced: %1").arg(systemReason(errno));
        cancel();
        return false;
    }
    temporary_.clear();
    if (durability_ == Durability::Deferred)
        return true;
    // The rename itself lasts only once the folder is on the disk too.
    const int folder =
        ::open(QFile::encodeName(QFileInfo(target_).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void ReplacingFile::cancel() {
    if (file_.isOpen())
        file_.close();
    if (!temporary_.isEmpty())
        ::unlink(QFile::encodeName(temporary_).constData());
    temporary_.clear();
}

QString ReplacingFile::syncFileSystem(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("cannot be opened: %1").arg(systemReason(errno));
    const bool synced = ::syncfs(fd) == 0;
    const int error = errno;
    ::close(fd);
    return synced ? QString() : QStringLiteral("cannot be written to the disk: %1").arg(systemReason(error));
}

} // namespace kyt
