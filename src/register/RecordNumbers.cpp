#include "register/RecordNumbers.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "register/StoreStatements.h"

int NextRecordNumber(kyt::Db& db) {
    kyt::RowSet rs = db.openRowSet(StoreStatements::selectMaxSrNo());
    qint64 highest = 0;
    if (!rs.eof()) {
        const QVariant v = rs.value(0);
        highest = v.isNull() ? 0 : v.toLongLong();
    }
    rs.close();
    return int(qint32(highest + 1));
}

void InsertWithNextNumber(kyt::Db& db, const StoreStatements::RecordValues& values, int& n) {
    const kyt::Db::AllocationLock lock(db);
    n = NextRecordNumber(db);
    if (n < 1)
        kyt::raise(kyt::errnum::Unexpected, QStringLiteral("No record number is left above the highest in use."),
                   QStringLiteral("InsertWithNextNumber"));
    db.execute(StoreStatements::insertRecord(n, values));
}
