#include "bulk/BulkImporter.h"

#include "platform/Db.h"
#include "register/RecordNumbers.h"
#include "register/StoreStatements.h"

namespace bulk {

namespace {
constexpr int kSerial = 2; // within the details
} // namespace

BulkImporter::BulkImporter(kyt::Db& db, ImportChoices choices, kyt::ErrorTrap& trap)
    : db_(db), choices_(std::move(choices)), trap_(trap) {}

void BulkImporter::begin() {
    count_ = 0;
    failed_ = 0;
    trap_([&] { srNo_ = NextRecordNumber(db_) - 1; });
}

QString BulkImporter::importRow(const std::array<QString, kDetailCount>& details, const QString& status) {
    if (!status.isEmpty())
        return status;
    const QString& serial = details[kSerial];
    if (!serial.isEmpty()) {
        bool duplicate = false;
        trap_([&] {
            kyt::RowSet rs = db_.openRowSet(StoreStatements::selectBySerial(serial));
            duplicate = !rs.isEmpty();
            rs.close();
        });
        if (duplicate)
            return kDuplicateSerial;
    }
    ++count_;
    ++srNo_;
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
    if (!trap_([&] { db_.execute(StoreStatements::insertRecord(srNo_, values)); }))
        ++failed_;
    trap_([&] { db_.execute(StoreStatements::flushTables()); });
    return kImported;
}

QString TransferSummary(int count) {
    return QString::number(count) + QStringLiteral(" Records Transferred.");
}

} // namespace bulk
