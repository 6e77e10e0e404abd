#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace kyt {

// Writes a file the program makes on request into a new file in the target's folder and renames it
// over the target once it is complete: a reader never sees half a file, and whatever stood at the
// path before is replaced as a whole or not at all.
//
// Refused, with nothing written: a path where something other than a regular file stands (a
// device, a pipe, a folder); a symbolic link as the last part of a path in a folder that others
// may write (the sticky temporary folder), where another user may have planted it; in such a
// folder, a file that belongs to another user. Elsewhere a link is followed and its target is
// replaced, so the link stays.
//
//     ReplacingFile out(path);
//     if (!out.open()) return out.why();
//     out.device().write(bytes);
//     if (!out.commit()) return out.why();
//
// Every "why" is the rest of a sentence that starts with the path: "is a character device, not a
// regular file".
class ReplacingFile {
public:
    // Now: commit() returns once the file and its name are on the disk. Deferred: they are left to
    // the system, for a caller that writes many files and then syncs the file system once
    // (syncFileSystem) before it says they are stored. A deferred file at a free name is written
    // under that name directly, so a reader may see it before it is complete.
    enum class Durability { Now, Deferred };

    explicit ReplacingFile(QString path, Durability durability = Durability::Now);
    ~ReplacingFile(); // an uncommitted new file is removed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool open();
    QIODevice& device() { return file_; }
    // Puts the new file in place of the target; false (and nothing replaced) when it could not.
    bool commit();
    void cancel();
    const QString& why() const { return why_; }

    // Empty when `path` may be written through this class, else why not; nothing is made.
    static QString whyNotWritable(const QString& path);
    // Writes `bytes` as the whole file; empty on success, else why not.
    static QString writeAll(const QString& path, const QByteArray& bytes);
    // Puts everything written to the file system holding `path` on the disk; empty on success,
    // else why not.
    static QString syncFileSystem(const QString& path);

private:
    bool openFile(int fd);

    QString path_;
    Durability durability_;
    QString target_;    // the path, or the file its links lead to
    QString temporary_; // the new file until it is renamed (the target itself when written in place)
    QFile file_;
    QString why_;
};

} // namespace kyt
