#pragma once

#include "store/StoreStatements.h"

#include <memory>
#include <optional>
#include <QHash>
#include <QList>

class QSqlQuery;

namespace kyt {
class Db;
}

namespace CarryOver {

// Reads the older records of a run through one statement, prepared once: an import that carries
// details over reads one record per renewed row, and preparing the statement anew for each cost as
// much as the rest of the row's carry-over. Records the run names ahead (readAhead) are read a few
// hundred to a statement instead, and each is handed out once. A statement that fails (a lost
// connection) is dropped, and the read goes through the connection's own path, which reconnects
// or says why the record cannot be read.
class OlderRecordReader {
public:
    explicit OlderRecordReader(kyt::Db& db);
    ~OlderRecordReader();
    OlderRecordReader(const OlderRecordReader&) = delete;
    OlderRecordReader& operator=(const OlderRecordReader&) = delete;

    // The fields record n carries over (kCarriedFields), as readRecord gives them; its other
    // values are left empty. None when there is no such record.
    std::optional<StoreStatements::RecordValues> read(int srNo);
    // Reads the records ahead of their read(); one that cannot be read ahead is read then.
    void readAhead(const QList<int>& srNos);

private:
    bool prepare();

    kyt::Db& db_;
    std::unique_ptr<QSqlQuery> query_;
    QHash<int, StoreStatements::RecordValues> readAhead_;
};

} // namespace CarryOver
