#pragma once

namespace kyt {
class Db;
}

// The number a new record gets: the highest SrNo in use plus one (0 plus one for an empty table).
// A gap below the highest number is never filled.
int NextRecordNumber(kyt::Db& db);
