#include "store/OlderRecordReader.h"

#include "platform/Db.h"
#include "store/RenewalCarryOver.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace CarryOver {

namespace {
// A field as the connection's row sets give it: dates as "DD/MM/YYYY HH:MM:SS", NULL as empty.
QString textOf(const QVariant& value, bool dateField) {
    if (dateField || value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate)
        return kyt::Db::formatDateValue(value);
    return value.isNull() ? QString() : value.toString();
}
} // namespace

OlderRecordReader::OlderRecordReader(kyt::Db& db) : db_(db) {}

OlderRecordReader::~OlderRecordReader() = default;

bool OlderRecordReader::prepare() {
    auto query = std::make_unique<QSqlQuery>(db_.connection());
    query->setForwardOnly(true);
    if (!query->prepare(QStringLiteral("Select * From DscStore Where SrNo=?")))
        return false;
    query_ = std::move(query);
    return true;
}

std::optional<StoreStatements::RecordValues> OlderRecordReader::read(int srNo) {
    using namespace RecordLayout;
    if (!query_ && !prepare())
        return readRecord(db_, srNo);
    query_->bindValue(0, srNo);
    if (!query_->exec()) {
        query_.reset();
        return readRecord(db_, srNo);
    }
    if (columns_.front() < 0) {
        const QSqlRecord record = query_->record();
        for (int i = 0; i < kValueCount; ++i)
            columns_[size_t(i)] = record.indexOf(QLatin1String(name(valueField(i))));
    }
    std::optional<StoreStatements::RecordValues> values;
    if (query_->next()) {
        values.emplace();
        for (int i = 0; i < kValueCount; ++i) {
            (*values)[size_t(i)] = textOf(query_->value(columns_[size_t(i)]), isDate(valueField(i)));
        }
    } else if (query_->lastError().isValid()) {
        query_.reset();
        return readRecord(db_, srNo);
    }
    query_->finish();
    return values;
}

} // namespace CarryOver
