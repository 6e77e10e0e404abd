#pragma once

#include "store/RecordHistory.h"

#include <QDateTime>
#include <QString>

namespace kyt {
class Db;
}

// Deleting a record so that it can come back: the row goes first, with its history entry, then its
// proof documents are moved into DscDocs/.deleted/<Sr. No.>-<time> (a row that cannot be deleted
// keeps its documents where they are). A restore puts the row back with its documents; documents
// kept longer than a number of days are purged.
namespace DeletedRecords {

inline constexpr int kDefaultKeepDays = 90;

struct DeleteResult {
    bool deleted = false;   // the row was deleted (false: there was no such record)
    QString documentsError; // the documents could not all be moved away: why (they stay in place)
    qint64 entry = 0;
};
// Raises when the row cannot be deleted; nothing is changed then.
DeleteResult deleteRecord(kyt::Db& db, const QString& docPath, int n, const QDateTime& now);

struct RestoreResult {
    bool restored = false;  // false: another record has the serial number now
    int srNo = 0;           // the number it came back under
    QString documentsError; // the documents could not all be moved back: why
    qint64 entry = 0;
};
// Raises when the row cannot be written; nothing is changed then.
RestoreResult restore(kyt::Db& db, const QString& docPath, const RecordHistory::Entry& deleted);

// What a restore says: the number the record came back under, and why when it is not its own.
QString restoredText(int wanted, int got);

// Removes the kept documents of deletes older than `days`; returns how many were purged.
int purge(const QString& docPath, int days, const QDateTime& now);

// The folder of one proof kind ("IdProofs" or "AddrProofs") of record n.
QString proofFolder(const QString& docPath, const QString& kind, int n);

} // namespace DeletedRecords
