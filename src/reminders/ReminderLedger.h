#pragma once

#include "reminders/DueReminder.h"

#include <QDateTime>
#include <QSet>

namespace kyt {
class Db;
}

// The reminders already sent, in a table of their own beside DscStore (DscReminders). A reminder is
// claimed by inserting its row, whose key lets only one run in, before its mail goes out; it is
// marked sent when the server took the mail, and its claim is dropped when the mail failed, so the
// next run tries again. Failures raise kyt::Error.
class ReminderLedger {
public:
    // A claim whose run never finished (the process was killed while sending) is given up after
    // this long, so that its reminder is tried again.
    static constexpr int kStaleClaimMinutes = 60;

    explicit ReminderLedger(kyt::Db& db) : db_(db) {}

    void createTable();
    // The keys of the reminders sent or claimed for certificates valid to `since` or later. With
    // `tableMayBeMissing` a register without the table yet has none.
    QSet<QString> markedSince(const QDateTime& since, bool tableMayBeMissing);
    void dropStaleClaims(const QDateTime& now);
    // True when this run holds the reminder now; false when another run claimed or sent it first.
    bool claim(const DueReminder& reminder, const QString& desk, const QDateTime& now);
    void markSent(const DueReminder& reminder, const QDateTime& now);
    void release(const DueReminder& reminder);

private:
    QString where(const DueReminder& reminder) const;

    kyt::Db& db_;
};
