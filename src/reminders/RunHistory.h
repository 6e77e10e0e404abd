#pragma once

#include "reminders/ReminderRun.h"

#include <QList>
#include <QString>

namespace kyt {
class Db;
}

// The history of reminder runs, in the database so that every desk sees it (DscReminderRuns): the
// last kRunsKept runs, newest first. Failures raise kyt::Error.
class RunHistory {
public:
    static constexpr int kRunsKept = 100;

    struct Entry {
        QString startedAt; // "DD/MM/YYYY HH:MM:SS" UTC, on the database's clock
        QString desk;
        int sent = 0, failed = 0, skipped = 0, renewed = 0, pending = 0;
        QString stopped, summary;
    };

    explicit RunHistory(kyt::Db& db) : db_(db) {}

    void add(const QString& runId, const QString& desk, const ReminderRun::Outcome& outcome, const QString& summary);
    // Empty when no run was kept yet.
    QList<Entry> recent();

private:
    kyt::Db& db_;
};
