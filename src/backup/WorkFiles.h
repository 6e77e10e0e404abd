#pragma once

#include <QString>

// The work files of a backup beside its archive: the partial archive and the folder with the
// register's copy. A backup holds a lock on each while it runs; one that is killed leaves them
// behind unlocked, and the next backup to the same place removes them.
namespace backup {

// An exclusive advisory lock on an open file (or folder), held while this lives, whatever happens to
// the descriptor it was taken from.
class WorkLock {
public:
    explicit WorkLock(int fd);
    explicit WorkLock(const QString& folder);
    ~WorkLock();
    WorkLock(const WorkLock&) = delete;
    WorkLock& operator=(const WorkLock&) = delete;

private:
    int fd_ = -1;
};

// Removes the work files of killed backups beside `file`: its partial archives (".<name>.XXXXXX")
// and the copies' folders (".kytbackup-XXXXXX"). One that a running backup holds, or that was made
// after this began, is left alone.
void removeStaleWork(const QString& file);

} // namespace backup
