#pragma once

#include "store/StoreStatements.h"

namespace kyt {
class Db;
}

// The number a new record gets: the highest SrNo in use plus one (0 plus one for an empty table).
// A gap below the highest number is never filled. 0 when the highest is the largest a record
// number can be: no number is left.
int NextRecordNumber(kyt::Db& db);

enum class StoreOutcome { Stored, DuplicateSerial };

// Writes a new record under the next number as one step under the allocation lock: the serial
// number is looked up, the highest number read, the record inserted and the whole committed, so
// that two desks saving at once never share a number nor store one certificate twice. A run of
// inserts passes the number after its last one as `atLeast`, so that its numbers go on from there
// when nobody else has gone past them. `n` gets the number before the insert runs. Raises when
// anything fails, the commit included; nothing is stored then. When the highest number in use is
// the largest a record number can be, nothing is inserted and an error is raised.
StoreOutcome InsertNewRecord(kyt::Db& db, const StoreStatements::RecordValues& values, int& n, int atLeast = 1);

// Writes record n's changes as one step under the same lock, refusing a serial number that
// another record has by then.
StoreOutcome UpdateRecord(kyt::Db& db, int n, const StoreStatements::RecordValues& values);
