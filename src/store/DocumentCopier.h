#pragma once

#include "store/StoreStatements.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <QString>
#include <QStringList>
#include <thread>

namespace CarryOver {

// Copies the proof documents of a run's renewed records on a thread of its own, in the order they
// were asked for, so that the file system's work goes on beside the register's. A record whose
// documents are copied from a record of the same run finds them there: one copy ends before the
// next begins. The copies reach the disk only with the run (see ReplacingFile::Durability).
class DocumentCopier {
public:
    explicit DocumentCopier(QString docPath);
    ~DocumentCopier(); // waits for the copies asked for
    DocumentCopier(const DocumentCopier&) = delete;
    DocumentCopier& operator=(const DocumentCopier&) = delete;

    // Copies the older record's documents named in `target` into the new record's folders.
    void add(int oldSrNo, int newSrNo, const StoreStatements::RecordValues& target);
    // Waits for every copy asked for; one line per document that could not be copied.
    QStringList finish();

private:
    struct Job {
        int oldSrNo;
        int newSrNo;
        StoreStatements::RecordValues target;
    };
    void run();

    const QString docPath_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool closing_ = false;
    QStringList failures_;
    std::thread worker_;
};

} // namespace CarryOver
