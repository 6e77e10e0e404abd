#include "store/OlderRecordReader.h"

#include "platform/Db.h"
#include "store/RenewalCarryOver.h"

#include <QSqlError>
#include <QSqlQuery>

namespace CarryOver {

namespace {
// The carried fields by name, in their order: the record's other fields are not needed.
QString selectCarriedFields() {
    QString sql = QStringLiteral("Select ");
    for (size_t i = 0; i < kCarriedFields.size(); ++i)
        sql += (i ? QStringLiteral(", ") : QString()) + QLatin1String(RecordLayout::name(kCarriedFields[i]));
    return sql + QStringLiteral(" From DscStore Where SrNo=?");
}
} // namespace

OlderRecordReader::OlderRecordReader(kyt::Db& db) : db_(db) {}

OlderRecordReader::~OlderRecordReader() = default;

bool OlderRecordReader::prepare() {
    auto query = std::make_unique<QSqlQuery>(db_.connection());
    query->setForwardOnly(true);
    if (!query->prepare(selectCarriedFields()))
        return false;
    query_ = std::move(query);
    return true;
}

std::optional<StoreStatements::RecordValues> OlderRecordReader::read(int srNo) {
    if (!query_ && !prepare())
        return readRecord(db_, srNo);
    query_->bindValue(0, srNo);
    if (!query_->exec()) {
        query_.reset();
        return readRecord(db_, srNo);
    }
    std::optional<StoreStatements::RecordValues> values;
    if (query_->next()) {
        values.emplace();
        for (size_t i = 0; i < kCarriedFields.size(); ++i)
            if (const QVariant v = query_->value(int(i)); !v.isNull())
                StoreStatements::valueOf(*values, kCarriedFields[i]) = v.toString();
    } else if (query_->lastError().isValid()) {
        query_.reset();
        return readRecord(db_, srNo);
    }
    query_->finish();
    return values;
}

} // namespace CarryOver
