#include "store/OlderRecordReader.h"

#include "platform/Db.h"
#include "store/RenewalCarryOver.h"

#include <QSqlError>
#include <QSqlQuery>

namespace CarryOver {

namespace {
// Read ahead to a statement: few statements for a run, far below any limit on bound values.
constexpr int kReadAheadBatch = 250;

// The carried fields by name, in their order, then the record number: the record's other fields
// are not needed.
QString selectCarriedFields(const QString& condition) {
    QString sql = QStringLiteral("Select ");
    for (const RecordLayout::Field field : kCarriedFields)
        sql += QLatin1String(RecordLayout::name(field)) + QStringLiteral(", ");
    return sql + QStringLiteral("SrNo From DscStore Where ") + condition;
}

StoreStatements::RecordValues carriedValues(const QSqlQuery& query) {
    StoreStatements::RecordValues values;
    for (size_t i = 0; i < kCarriedFields.size(); ++i)
        if (const QVariant v = query.value(int(i)); !v.isNull())
            StoreStatements::valueOf(values, kCarriedFields[i]) = v.toString();
    return values;
}
} // namespace

OlderRecordReader::OlderRecordReader(kyt::Db& db) : db_(db) {}

OlderRecordReader::~OlderRecordReader() = default;

bool OlderRecordReader::prepare() {
    auto query = std::make_unique<QSqlQuery>(db_.connection());
    query->setForwardOnly(true);
    if (!query->prepare(selectCarriedFields(QStringLiteral("SrNo=?"))))
        return false;
    query_ = std::move(query);
    return true;
}

std::optional<StoreStatements::RecordValues> OlderRecordReader::read(int srNo) {
    if (auto ahead = readAhead_.find(srNo); ahead != readAhead_.end()) {
        std::optional<StoreStatements::RecordValues> values = std::move(*ahead);
        readAhead_.erase(ahead);
        return values;
    }
    if (!query_ && !prepare())
        return readRecord(db_, srNo);
    query_->bindValue(0, srNo);
    if (!query_->exec()) {
        query_.reset();
        return readRecord(db_, srNo);
    }
    std::optional<StoreStatements::RecordValues> values;
    if (query_->next()) {
        values = carriedValues(*query_);
    } else if (query_->lastError().isValid()) {
        query_.reset();
        return readRecord(db_, srNo);
    }
    query_->finish();
    return values;
}

void OlderRecordReader::readAhead(const QList<int>& srNos) {
    for (qsizetype from = 0; from < srNos.size(); from += kReadAheadBatch) {
        const QList<int> batch = srNos.mid(from, kReadAheadBatch);
        const QStringList marks(batch.size(), QStringLiteral("?"));
        QSqlQuery query(db_.connection());
        query.setForwardOnly(true);
        if (!query.prepare(selectCarriedFields(QStringLiteral("SrNo In (%1)").arg(marks.join(QLatin1Char(','))))))
            return;
        for (qsizetype i = 0; i < batch.size(); ++i)
            query.bindValue(int(i), batch[i]);
        if (!query.exec())
            return;
        const int srNoColumn = int(kCarriedFields.size());
        while (query.next())
            readAhead_.insert(query.value(srNoColumn).toInt(), carriedValues(query));
    }
}

} // namespace CarryOver
