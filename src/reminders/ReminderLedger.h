#pragma once

#include "reminders/DueReminder.h"

#include <QHash>
#include <QSet>
#include <QString>

namespace kyt {
class Db;
}

// The sent-log (DscReminders) as one run uses it. A run claims a reminder by inserting its row
// under the run's own identity before the mail goes out, marks it sent when the server took the
// mail, and drops its claim when the mail failed, so the next run tries again. A claim is leased
// for some minutes on the database's clock and renewed while the run works; a claim whose lease
// ended belongs to a run that died, and the next run takes it over. A sent mark is never taken
// over. Failures raise kyt::Error.
class ReminderLedger {
public:
    // What the log says about the reminders of certificates valid to a date or later.
    struct State {
        QSet<QString> sent;
        QHash<QString, QString> held; // live claims of other runs: key -> who holds it since when
        QSet<QString> noAddress;      // due earlier but without an e-mail address
    };

    ReminderLedger(kyt::Db& db, QString runId, QString desk, QString zone, int leaseMinutes);

    // Without the table (a register never reminded of, or a dry run on it) the state is empty.
    State stateSince(const QDateTime& since);
    // True when this run holds the reminder now; false when another run claimed or sent it first.
    bool claim(const DueReminder& reminder);
    // Pushes the end of this run's claims' lease on: called while the run works.
    void renewLease();
    void markSent(const DueReminder& reminder);
    void release(const DueReminder& reminder);
    // Notes a reminder that could not go for want of an address; true when that is news.
    bool markNoAddress(const DueReminder& reminder);

private:
    QString where(const DueReminder& reminder) const;
    QString leaseEnd() const;

    kyt::Db& db_;
    QString runId_, desk_, zone_;
    int leaseSeconds_;
};
