#include "store/DocumentCopier.h"

#include "store/RenewalCarryOver.h"

#include <exception>
#include <pthread.h>

namespace CarryOver {

DocumentCopier::DocumentCopier(QString docPath) : docPath_(std::move(docPath)), worker_([this] { run(); }) {}

DocumentCopier::~DocumentCopier() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void DocumentCopier::add(int oldSrNo, int newSrNo, const StoreStatements::RecordValues& target) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({oldSrNo, newSrNo, target});
    }
    changed_.notify_all();
}

QStringList DocumentCopier::finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    return std::exchange(failures_, {});
}

void DocumentCopier::run() {
    // Named, so that the copies can be told apart from the import in top or a profile.
    pthread_setname_np(pthread_self(), "doccopier");
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !jobs_.empty() || closing_; });
        if (jobs_.empty())
            return;
        const Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        QStringList failed;
        // Whatever goes wrong here must not end the program from this thread: it is one more line
        // of the run's outcome, and the next copies go on.
        try {
            failed =
                copyDocuments(docPath_, job.oldSrNo, job.newSrNo, job.target, kyt::ReplacingFile::Durability::Deferred);
        } catch (const std::exception& e) {
            failed << QStringLiteral("The documents of Sr. No. %1 were not copied to Sr. No. %2: %3")
                          .arg(job.oldSrNo)
                          .arg(job.newSrNo)
                          .arg(QString::fromLocal8Bit(e.what()));
        }
        lock.lock();
        failures_ << failed;
        busy_ = false;
        changed_.notify_all();
    }
}

} // namespace CarryOver
