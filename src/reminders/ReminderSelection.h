#pragma once

#include "reminders/DueReminder.h"

#include <QHash>
#include <QList>
#include <QSet>

namespace kyt {
class Db;
}

// Which reminders are owed today. A certificate is due at the smallest step that its days left
// have reached (30, then 7, then 1 ...), and once more after it expired, for as many days as the
// largest step. Nothing is owed for a certificate its holder has renewed: another record of the
// same holder (store/SameHolder) and type with a different serial number that is valid longer, or
// the record the register links to it as its renewal (store/Renewals), whoever its holder is.
// (A holder may well have certificates of two types at once, and is reminded of each.)
struct ReminderSelection {
    QList<DueReminder> due;     // each with a usable e-mail address, not yet sent
    QList<DueReminder> skipped; // due but without a usable address
    QStringList skipReasons;    // one per skipped reminder
    QList<DueReminder> pending; // claimed by another run that has not sent it yet
    QStringList pendingNotes;   // one per pending reminder: who holds it
    QList<DueReminder> renewed; // not owed: the holder has a newer certificate
    QList<int> renewedBy;       // one per renewed reminder: the newer record's Sr. No.

    // The indexes that spare the selection a pass over the whole register: by end of validity and
    // by holder. Made when missing; the register's own statements do not depend on them.
    static QStringList createIndexes();
    // Reads the register (raises kyt::Error when it cannot). `now` is the wall time in the zone the
    // practice counts its days in; `sent` are the keys already sent, `held` those claimed by
    // another run that still works on them, with who holds them.
    static ReminderSelection select(kyt::Db& db, const QList<int>& steps, const QDateTime& now,
                                    const QSet<QString>& sent, const QHash<QString, QString>& held = {});
    // The earliest end of validity a run looks at: the ledger need not be read before it.
    static QDateTime earliestValidTo(const QList<int>& steps, const QDateTime& now);
};
