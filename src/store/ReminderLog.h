#pragma once

#include <optional>
#include <QHash>
#include <QString>
#include <QStringList>

namespace kyt {
class Db;
}

// The reminders' tables beside DscStore, named and made in one place: the sent-log
// (DscReminders: one row per certificate and step, claimed by a run and then marked sent) and
// the history of runs (DscReminderRuns). Kept in the store so that any view of the register can
// say when a holder was last reminded.
namespace reminderlog {

// Times in these tables are the database's own, in UTC, as "YYYY-MM-DD HH:MM:SS".
QStringList createStatements();
// Makes the tables when missing and adds the columns a table made by an earlier version lacks.
void ensureTables(kyt::Db& db);
// True when the sent-log exists (a dry run must not make it).
bool sentLogExists(kyt::Db& db);
bool runsTableExists(kyt::Db& db);

// The database's clock, as an expression, `secondsAhead` from now: what claims are judged by, so
// that desks with differing clocks agree.
QString databaseNow(const kyt::Db& db, int secondsAhead = 0);

// The same to the millisecond or finer, for ordering what happens within one second.
QString databaseNowPrecise(const kyt::Db& db);

struct LastReminder {
    QString sentAt;           // "DD/MM/YYYY HH:MM" in UTC
    QString sentAtSeconds;    // "DD/MM/YYYY HH:MM:SS" in UTC, as a list shows and sorts dates
    int step = 0;             // days before expiry; -1 once expired
    QString zone;             // the time zone the step was decided in
    QString describe() const; // "05/12/2026 09:00 UTC, 7-day step"
    QString stepText() const; // "7-day step" or "after expiry"
};
// When the record's certificate was last reminded of, if ever; none also when the log does not
// exist yet or cannot be read.
std::optional<LastReminder> lastReminded(kyt::Db& db, int srNo);
// The same for every record at once, for a list.
QHash<int, LastReminder> lastRemindedAll(kyt::Db& db);

} // namespace reminderlog
