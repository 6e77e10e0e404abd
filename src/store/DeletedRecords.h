#pragma once

#include "store/RecordHistory.h"
#include "store/RecordNumbers.h"

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
    bool restored = false;                       // false: `outcome` says why
    StoreOutcome outcome = StoreOutcome::Stored; // DuplicateSerial or AlreadyRestored when not restored
    int srNo = 0;           // the number it came back under (AlreadyRestored: the one it came back under then)
    QString documentsError; // the documents could not all be moved back: why
    qint64 entry = 0;
};
// Raises when the row cannot be written; nothing is changed then.
RestoreResult restore(kyt::Db& db, const QString& docPath, const RecordHistory::Entry& deleted);

// What a restore says: the number the record came back under, and why when it is not its own.
QString restoredText(int wanted, int got);
// Why a restore of the delete of Sr. No. `wanted` was refused, as a clause ("another record has its
// serial number now", "Sr. No. 5 has already been restored").
QString refusedText(int wanted, const RestoreResult& result);

// Removes the kept documents of deletes older than `days`; returns how many were purged.
int purge(const QString& docPath, int days, const QDateTime& now);

// The folder of one proof kind ("IdProofs" or "AddrProofs") of record n.
QString proofFolder(const QString& docPath, const QString& kind, int n);

// A folder name under DscDocs for the documents of record n put aside now: ".deleted/<n>-<time>",
// with "-2" and on after it when taken, and never `besides`. Nothing is made yet.
QString freeKeptName(const QString& docPath, int n, const QDateTime& now, const QString& besides = {});

// A save that replaces or clears a document keeps the old file as a delete does, in the folder its
// history entry names (`kept`, from freeKeptName) under the document's kind: moved, or copied when
// the save is about to write over it. Raises when it cannot be kept; the file is then untouched.
void keepReplaced(const QString& docPath, const QString& kept, const QString& kind, const QString& path,
                  bool copy = false);

// Undoing a save with entry `update`: the documents the save stored that the older values do not
// name must go aside; this is the folder for them (from freeKeptName), empty when there are none.
QString undoFolder(const QString& docPath, const RecordHistory::Entry& update, const QDateTime& now);
// Once the row holds the older values again: puts those documents into `aside` and moves the ones
// the save kept back into the record's folders. Returns why when not all could be moved, else empty.
QString takeBackReplaced(const QString& docPath, const RecordHistory::Entry& update, const QString& aside);

} // namespace DeletedRecords
