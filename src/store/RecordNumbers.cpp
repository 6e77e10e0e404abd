#include "store/RecordNumbers.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "store/DeletedCustody.h"
#include "store/RecordHistory.h"
#include "store/Renewals.h"
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
    kyt::RowSet rs = db.openRowSet(
        (self ? StoreStatements::selectBySerialExcept(serial, *self) : StoreStatements::selectBySerial(serial)) +
        db.indexedTextMatch(QStringLiteral("SerialNo"), {serial}));
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

StoreOutcome InsertNewRecord(kyt::Db& db, const StoreStatements::RecordValues& values, int& n, int atLeast,
                             qint64* entry) {
    RecordHistory::ensureTable(db);
    kyt::Db::AllocationLock lock(db);
    if (serialTaken(db, values[kSerial], std::nullopt))
        return StoreOutcome::DuplicateSerial;
    const int next = NextRecordNumber(db);
    n = next < 1 ? next : std::max(next, atLeast);
    if (n < 1)
        kyt::raise(kyt::errnum::Unexpected, QStringLiteral("No record number is left above the highest in use."),
                   QStringLiteral("KYTDscMgr"));
    db.execute(StoreStatements::insertRecord(n, values));
    const qint64 id = RecordHistory::write(db, RecordHistory::Change::Insert, n, std::nullopt, values);
    lock.commit();
    if (entry)
        *entry = id;
    return StoreOutcome::Stored;
}

StoreOutcome UpdateRecord(kyt::Db& db, int n, const StoreStatements::RecordValues& values, qint64* entry,
                          const QString& keptDocuments) {
    RecordHistory::ensureTable(db);
    kyt::Db::AllocationLock lock(db);
    if (serialTaken(db, values[kSerial], n))
        return StoreOutcome::DuplicateSerial;
    const auto before = RecordHistory::storedValues(db, n);
    db.execute(StoreStatements::updateRecord(n, values));
    // A record deleted meanwhile is not written back by the update: no change, no entry.
    const qint64 id =
        before ? RecordHistory::write(db, RecordHistory::Change::Update, n, before, values, keptDocuments) : 0;
    lock.commit();
    if (entry)
        *entry = id;
    return StoreOutcome::Stored;
}

bool DeleteRecord(kyt::Db& db, int n, const QString& keptDocuments, qint64* entry) {
    RecordHistory::ensureTable(db);
    DeletedCustody::ensureTable(db);
    kyt::Db::AllocationLock lock(db);
    const auto before = RecordHistory::storedValues(db, n);
    if (!before)
        return false;
    db.execute(StoreStatements::deleteRecord(n));
    const qint64 id = RecordHistory::write(db, RecordHistory::Change::Delete, n, before, std::nullopt, keptDocuments);
    // Its renewal links go with it; the record at the other end of a link stays as it is.
    Renewals::removeLinksOf(db, n);
    // Its token's movements are set aside for a restore: a record given its number later has none.
    DeletedCustody::setAside(db, n, id);
    lock.commit();
    if (entry)
        *entry = id;
    return true;
}

StoreOutcome RestoreRecord(kyt::Db& db, const RecordHistory::Entry& deleted, int& n, qint64* entry) {
    RecordHistory::ensureTable(db);
    DeletedCustody::ensureTable(db);
    kyt::Db::AllocationLock lock(db);
    if (const auto earlier = RecordHistory::restoreOf(db, deleted.id)) {
        n = earlier->srNo;
        return StoreOutcome::AlreadyRestored;
    }
    const StoreStatements::RecordValues values = deleted.before.value_or(StoreStatements::RecordValues{});
    if (serialTaken(db, values[kSerial], std::nullopt))
        return StoreOutcome::DuplicateSerial;
    if (deleted.srNo > 0 && !RecordHistory::storedValues(db, deleted.srNo)) {
        n = deleted.srNo;
    } else {
        n = NextRecordNumber(db);
        if (n < 1)
            kyt::raise(kyt::errnum::Unexpected, QStringLiteral("No record number is left above the highest in use."),
                       QStringLiteral("KYTDscMgr"));
    }
    db.execute(StoreStatements::insertRecordKeepingNulls(n, values));
    const qint64 id =
        RecordHistory::write(db, RecordHistory::Change::Restore, n, std::nullopt, values, QString(), deleted.id);
    DeletedCustody::bringBack(db, deleted.id, n);
    lock.commit();
    if (entry)
        *entry = id;
    return StoreOutcome::Stored;
}
