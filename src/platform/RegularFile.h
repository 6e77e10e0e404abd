#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace kyt {

// Files the program reads are read only when they are regular files: a named pipe blocks a reader
// until someone writes to it, a device such as /dev/zero never ends, and a folder holds no bytes.
// Links are followed; what counts is what the path finally names. Every "why" below is the rest
// of a sentence that starts with the path: "is a named pipe (FIFO), not a regular file".

// Empty when a regular file stands at `path`; else why not ("does not exist" among others).
QString whyNotRegularFile(const QString& path);

// True when nothing at all stands at `path` (a link to nothing is something: it is not absent).
bool pathIsAbsent(const QString& path);

// Opens `path` for reading into `file` when it is a regular file, without ever blocking on a
// pipe or touching a device. Empty on success, else why not.
QString openRegularFile(const QString& path, QFile& file);

struct FileContents {
    enum class Status { Read, Missing, NotRegular, TooLarge, Unreadable };
    Status status = Status::Missing;
    QByteArray bytes;
    QString why; // for every status but Read

    bool ok() const { return status == Status::Read; }
};

// The whole of a regular file of at most `maxBytes` bytes.
FileContents readRegularFile(const QString& path, qint64 maxBytes);

} // namespace kyt
