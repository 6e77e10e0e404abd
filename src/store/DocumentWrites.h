#pragma once

#include <chrono>
#include <QString>

// Proof documents are written after the row that names them is committed: a document that cannot
// be written must not cost the user the record. A desk that writes so holds this lock, shared, on
// "DscDocs/.writing" from before its commit until its documents are in place; a backup holds it
// alone while it copies the rows. Every row a backup copies thus has its documents on the disk.
//
// Neither side waits for ever. A writer that cannot have the lock in time writes without it (a
// backup must never hold up a save), and a backup that cannot have it says another desk is
// writing documents. Without the folder (a writer makes it first), or without the right to make
// the lock file in it, there is nothing to guard and the lock is not held.
class DocumentWrites {
public:
    enum class Side { Writer, Backup };

    DocumentWrites(const QString& docPath, Side side, std::chrono::milliseconds patience);
    ~DocumentWrites();
    DocumentWrites(const DocumentWrites&) = delete;
    DocumentWrites& operator=(const DocumentWrites&) = delete;

    bool held() const { return fd_ >= 0; }
    // True when the lock file was there and another desk kept it past the patience given.
    bool timedOut() const { return timedOut_; }
    void release();

    static constexpr std::chrono::milliseconds kWriterPatience{5000};
    static constexpr std::chrono::milliseconds kBackupPatience{60000};

private:
    int fd_ = -1;
    bool timedOut_ = false;
};
