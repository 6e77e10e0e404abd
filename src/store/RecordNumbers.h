#pragma once

#include "store/StoreStatements.h"

namespace kyt {
class Db;
}
namespace RecordHistory {
struct Entry;
}

// The number a new record gets: the highest SrNo in use plus one (0 plus one for an empty table).
// A gap below the highest number is never filled. 0 when the highest is the largest a record
// number can be: no number is left.
int NextRecordNumber(kyt::Db& db);

// AlreadyRestored: a restore found its delete taken back by another restore (another desk's, say).
enum class StoreOutcome { Stored, DuplicateSerial, AlreadyRestored };

// Writes a new record under the next number as one step under the allocation lock: the serial
// number is looked up, the highest number read, the record inserted and the whole committed, so
// that two desks saving at once never share a number nor store one certificate twice. A run of
// inserts passes the number after its last one as `atLeast`, so that its numbers go on from there
// when nobody else has gone past them. `n` gets the number before the insert runs. Raises when
// anything fails, the commit included; nothing is stored then. When the highest number in use is
// the largest a record number can be, nothing is inserted and an error is raised.
// Every write below leaves its history entry in the same transaction (its id in `entry`); an entry
// that cannot be written raises, and the change is rolled back with it.
StoreOutcome InsertNewRecord(kyt::Db& db, const StoreStatements::RecordValues& values, int& n, int atLeast = 1,
                             qint64* entry = nullptr);

// Writes record n's changes as one step under the same lock, refusing a serial number that
// another record has by then. `keptDocuments` names where the documents the change replaces are
// being put (under DscDocs), for an undo to find.
StoreOutcome UpdateRecord(kyt::Db& db, int n, const StoreStatements::RecordValues& values, qint64* entry = nullptr,
                          const QString& keptDocuments = {});

// Deletes record n under the same lock; `keptDocuments` says where its proof documents are being
// put (under DscDocs) for a restore to find; its token's movements are set aside for it likewise, and
// its renewal links removed. False when there is no record n (nothing is written).
bool DeleteRecord(kyt::Db& db, int n, const QString& keptDocuments, qint64* entry = nullptr);

// Brings a deleted record back under the number it had when that is free, else under the next one
// (`n` gets it), with its token's movements; refused when another record has its serial number by now,
// and when the delete has been restored already (`n` gets the number that restore gave). Both are
// judged under the lock, so that two desks restoring one delete at once bring it back once.
StoreOutcome RestoreRecord(kyt::Db& db, const RecordHistory::Entry& deleted, int& n, qint64* entry = nullptr);
