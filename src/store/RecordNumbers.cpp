#include "store/RecordNumbers.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "store/StoreStatements.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {
constexpr int kSerial = 2; // within the record's values

// A record other than `self` (none for a new record) already has the serial number; an empty one is
// never looked up. Any number may be a record's own, 0 and negative ones written by other programs
// included: the record itself never counts.
bool serialTaken(kyt::Db& db, const QString& serial, std::optional<int> self) {
    if (serial.isEmpty())
        return false;
    kyt::RowSet rs = db.openRowSet(self ? StoreStatements::selectBySerialExcept(serial, *self)
                                        : StoreStatements::selectBySerial(serial));
    const bool taken = !rs.isEmpty();
    rs.close();
    return taken;
}
} // namespace

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

StoreOutcome InsertNewRecord(kyt::Db& db, const StoreStatements::RecordValues& values, int& n, int atLeast) {
    kyt::Db::AllocationLock lock(db);
    if (serialTaken(db, values[kSerial], std::nullopt))
        return StoreOutcome::DuplicateSerial;
    const int next = NextRecordNumber(db);
    n = next < 1 ? next : std::max(next, atLeast);
    if (n < 1)
        kyt::raise(kyt::errnum::Unexpected, QStringLiteral("No record number is left above the highest in use."),
                   QStringLiteral("KYTDscMgr"));
    db.execute(StoreStatements::insertRecord(n, values));
    lock.commit();
    return StoreOutcome::Stored;
}

StoreOutcome UpdateRecord(kyt::Db& db, int n, const StoreStatements::RecordValues& values) {
    kyt::Db::AllocationLock lock(db);
    if (serialTaken(db, values[kSerial], n))
        return StoreOutcome::DuplicateSerial;
    db.execute(StoreStatements::updateRecord(n, values));
    lock.commit();
    return StoreOutcome::Stored;
}
