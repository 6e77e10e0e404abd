#pragma once

#include "reminders/DueReminder.h"

#include <QList>
#include <QSet>

namespace kyt {
class Db;
}

// Which reminders are owed today. A certificate is due at the smallest step that its days left
// have reached (30, then 7, then 1 ...), and once more after it expired, for as many days as the
// largest step. Nothing is owed for a certificate its holder has renewed: another record of the
// same name and type with a different serial number that is valid longer. (A holder may well
// have certificates of two types at once, and is reminded of each.)
struct ReminderSelection {
    QList<DueReminder> due;     // each with a usable e-mail address, not yet sent
    QList<DueReminder> skipped; // due but without a usable address
    QStringList skipReasons;    // one per skipped reminder

    // The indexes that spare the selection a pass over the whole register: by end of validity and
    // by holder. Made when missing; the register's own statements do not depend on them.
    static QStringList createIndexes();
    // Reads the register (raises kyt::Error when it cannot); `marked` are the keys already sent.
    static ReminderSelection select(kyt::Db& db, const QList<int>& steps, const QDateTime& now,
                                    const QSet<QString>& marked);
    // The earliest end of validity a run looks at: the ledger need not be read before it.
    static QDateTime earliestValidTo(const QList<int>& steps, const QDateTime& now);
};
