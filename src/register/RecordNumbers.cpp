#include "register/RecordNumbers.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "register/StoreStatements.h"

#include <algorithm>
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

void InsertWithNextNumber(kyt::Db& db, const StoreStatements::RecordValues& values, int& n, int atLeast) {
    const kyt::Db::AllocationLock lock(db);
    const int next = NextRecordNumber(db);
    n = next < 1 ? next : std::max(next, atLeast);
    if (n < 1)
        kyt::raise(kyt::errnum::Unexpected, QStringLiteral("No record number is left above the highest in use."),
                   QStringLiteral("KYTDscMgr"));
    db.execute(StoreStatements::insertRecord(n, values));
}
