#pragma once

#include "register/StoreStatements.h"

namespace kyt {
class Db;
}

// The number a new record gets: the highest SrNo in use plus one (0 plus one for an empty table).
// A gap below the highest number is never filled. 0 when the highest is the largest a record
// number can be: no number is left.
int NextRecordNumber(kyt::Db& db);

// Inserts a new record under the next number, holding other processes off between reading the
// highest number and the insert, so that two desks saving at once never share a number. A run of
// inserts passes the number after its last one as `atLeast`, so that its numbers go on from there
// when nobody else has gone past them. `n` gets the number before the insert runs, so a failed
// insert still tells which number it was for. When the highest number in use is the largest a
// record number can be, nothing is inserted and an error is raised.
void InsertWithNextNumber(kyt::Db& db, const StoreStatements::RecordValues& values, int& n, int atLeast = 1);
