#include "bulk/BulkImporter.h"

#include "platform/Db.h"
#include "register/RecordNumbers.h"
#include "register/StoreStatements.h"

#include <limits>

namespace bulk {

namespace {
constexpr int kSerial = 2; // within the details
} // namespace

BulkImporter::BulkImporter(kyt::Db& db, ImportChoices choices, kyt::ErrorTrap& trap)
    : db_(db), choices_(std::move(choices)), trap_(trap) {}

BulkImporter::~BulkImporter() = default;

void BulkImporter::begin() {
    count_ = 0;
    failed_ = 0;
    unreachable_ = false;
    // Each row reads the highest number in use as it is inserted, so the run needs none up front.
    srNo_ = 0;
    batch_ = std::make_unique<kyt::Db::WriteBatch>(db_);
}

void BulkImporter::finish() {
    batch_.reset();
}

bool BulkImporter::lostDatabase() {
    if (trap_.lastError().number == kyt::errnum::DatabaseUnreachable)
        unreachable_ = true;
    return unreachable_;
}

QString BulkImporter::importRow(const std::array<QString, kDetailCount>& details, const QString& status) {
    if (!status.isEmpty() || unreachable_)
        return status;
    trap_.clearLastError();
    const QString& serial = details[kSerial];
    if (!serial.isEmpty()) {
        bool duplicate = false;
        trap_([&] {
            kyt::RowSet rs = db_.openRowSet(StoreStatements::selectBySerial(serial));
            duplicate = !rs.isEmpty();
            rs.close();
        });
        if (lostDatabase())
            return status;
        if (duplicate)
            return kDuplicateSerial;
    }
    const StoreStatements::RecordValues values = {details[0],
                                                  choices_.autoType ? details[1] : choices_.type,
                                                  details[2],
                                                  details[3],
                                                  details[4],
                                                  details[5],
                                                  details[6],
                                                  QString(),
                                                  QString(),
                                                  choices_.idProofType,
                                                  QString(),
                                                  QString(),
                                                  choices_.addrProofType,
                                                  QString(),
                                                  QString()};
    // Counting on from the run's own last number unless another user has gone past it meanwhile.
    const int after = srNo_ < std::numeric_limits<int>::max() ? srNo_ + 1 : 0;
    int srNo = after;
    const bool inserted = trap_([&] { InsertWithNextNumber(db_, values, srNo, after); });
    if (lostDatabase())
        return status;
    srNo_ = srNo;
    ++count_;
    if (!inserted)
        ++failed_;
    trap_([&] { db_.execute(StoreStatements::flushTables()); });
    return kImported;
}

QString UnreachableDatabaseNotice() {
    return QStringLiteral("The database cannot be reached, so the import stopped. The rows without a status were "
                          "not imported: press Import again when the database is back.");
}

QString TransferSummary(int count) {
    return QString::number(count) + QStringLiteral(" Records Transferred.");
}

} // namespace bulk
