#pragma once

#include "store/StoreStatements.h"

#include <optional>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace kyt {
class Db;
}

// The register's history, table DscHistory: one entry for every record written, with the database's
// time, the desk's host name, the user's login name, what was done and the record's values before and
// after. Entries are written by the store's write functions inside their transaction, so a change
// and its entry are kept together or not at all.
namespace RecordHistory {

// Custody: a token's hand-over or return, written by the custody log beside its movement.
enum class Change { Insert, Update, Delete, Restore, Custody };
QString changeName(Change change); // "insert", "update", "delete", "restore", "custody"

struct Entry {
    qint64 id = 0;
    QString at; // "DD/MM/YYYY HH:MM:SS", by the database's clock
    QString host;
    QString login;
    Change change = Change::Insert;
    int srNo = 0;
    std::optional<StoreStatements::RecordValues> before; // none for an insert or a restore
    std::optional<StoreStatements::RecordValues> after;  // none for a delete
    // A delete: where its proof documents were put, under DscDocs; empty when none were kept.
    QString documents;
    // A restore: the delete entry it took back; 0 otherwise.
    qint64 takesBack = 0;
    // A custody entry: with whom the token was before and after the movement.
    QString custodyFrom, custodyTo;
};

struct FieldChange {
    QString field; // the list's heading of the field
    QString before, after;
};

// Creates the table and its index when missing (once per connection). Call it outside a transaction.
void ensureTable(kyt::Db& db);

// Record n as stored now; none when there is no such record.
std::optional<StoreStatements::RecordValues> storedValues(kyt::Db& db, int n);

// Writes one entry and returns its id. Raises when it cannot be written: the caller's transaction
// is then rolled back with the change.
qint64 write(kyt::Db& db, Change change, int srNo, const std::optional<StoreStatements::RecordValues>& before,
             const std::optional<StoreStatements::RecordValues>& after, const QString& documents = {},
             qint64 takesBack = 0);

// Writes the entry of a token's movement (Change::Custody): with whom it was and is now, as shown.
// Raises as write() does.
qint64 writeCustody(kyt::Db& db, int srNo, const QString& from, const QString& to);

// The desk user's login name, as entries name it.
QString loginName();

// Entries, newest first: all, or one record's (srNo > 0), from `since` on ("YYYY-MM-DD" or empty).
QList<Entry> entries(kyt::Db& db, int srNo = 0, const QString& since = {});
std::optional<Entry> entry(kyt::Db& db, qint64 id);
// The deletes that have not been restored, newest first.
QList<Entry> deletedRecords(kyt::Db& db);
// The newest delete of record n that has not been restored.
std::optional<Entry> lastDelete(kyt::Db& db, int n);
// The restore that took back the delete with entry id `deleteId`; none while that delete is open.
std::optional<Entry> restoreOf(kyt::Db& db, qint64 deleteId);

// The fields an entry changed: every field of an insert, delete or restore, the changed ones of an update.
QList<FieldChange> changes(const Entry& entry);
QJsonObject toJson(const Entry& entry);

// The values as an entry keeps them, and back; a text that is no record gives none.
QString valuesText(const StoreStatements::RecordValues& values);
std::optional<StoreStatements::RecordValues> valuesFrom(const QString& text);

} // namespace RecordHistory
