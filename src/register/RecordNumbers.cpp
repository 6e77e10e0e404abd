#include "register/RecordNumbers.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "register/StoreStatements.h"

#include <limits>

int NextRecordNumber(kyt::Db& db) {
    kyt::RowSet rs = db.openRowSet(StoreStatements::selectMaxSrNo());
    qint64 highest = 0;
    if (!rs.eof()) {
        const QVariant v = rs.value(0);
        highest = v.isNull() ? 0 : v.toLongLong();
    }
    rs.close();
    if (highest >= std::numeric_limits<qint32>::max())
        return 0;
    return int(qint32(highest + 1));
}

void RequireNewRecordNumber(int n) {
    if (n < 1)
        kyt::raise(kyt::errnum::Unexpected, QStringLiteral("No record number is left above the highest in use."),
                   QStringLiteral("KYTDscMgr"));
}

void InsertWithNextNumber(kyt::Db& db, const StoreStatements::RecordValues& values, int& n) {
    const kyt::Db::AllocationLock lock(db);
    n = NextRecordNumber(db);
    RequireNewRecordNumber(n);
    db.execute(StoreStatements::insertRecord(n, values));
}
