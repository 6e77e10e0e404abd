#include "store/StoreStatements.h"

#include "component/Module1.h"

#include <algorithm>

namespace StoreStatements {

namespace {
const char* const kFixedProofTypes = "('','Passport','PAN Card','Voter ID Card','Driving License','ICAI "
                                     "Membership','ICSI Membership','ICWAI Membership')";

QString value(const RecordValues& v, int i) {
    return RecordLayout::isDate(RecordLayout::valueField(i)) ? FormatDbDate(v[size_t(i)]) : QuoteSql(v[size_t(i)]);
}

// A column as the table declares it.
QString declaration(RecordLayout::Field field) {
    const RecordLayout::FieldInfo info = RecordLayout::info(field);
    switch (info.kind) {
    case RecordLayout::Kind::Number:
        return QStringLiteral("Int(11)");
    case RecordLayout::Kind::Date:
        return QStringLiteral("DateTime");
    case RecordLayout::Kind::Text:
        break;
    }
    return QStringLiteral("Varchar(%1)").arg(info.limit);
}
} // namespace

UnstorableValue FindUnstorableValue(const RecordValues& values) {
    for (int i = 0; i < int(values.size()); ++i) {
        const QString& v = values[size_t(i)];
        const int limit = RecordLayout::info(RecordLayout::valueField(i)).limit;
        if (v.contains(QChar(0)))
            return {i, true, limit};
        // The columns count characters; a character beyond the basic plane is two UTF-16 units.
        if (limit > 0 && v.size() > limit &&
            v.size() - std::count_if(v.begin(), v.end(), [](QChar c) { return c.isLowSurrogate(); }) > limit)
            return {i, false, limit};
    }
    return {};
}

QString UnstorableText(const UnstorableValue& value, const QString& label) {
    if (value.nul)
        return label + QStringLiteral(" holds a NUL character, which cannot be stored");
    return label + QStringLiteral(" is longer than %1 characters").arg(value.limit);
}

QString createTable() {
    QString sql = QStringLiteral("Create Table If Not Exists DscStore (");
    for (int f = 0; f < RecordLayout::kFieldCount; ++f)
        sql += (f > 0 ? QStringLiteral(", ") : QString()) + QLatin1String(RecordLayout::name(RecordLayout::Field(f))) +
               QLatin1Char(' ') + declaration(RecordLayout::Field(f));
    return sql + QLatin1Char(')');
}

QStringList createIndexes() {
    return {QStringLiteral("Create Index If Not Exists DscStoreSerialNo On DscStore (SerialNo)"),
            QStringLiteral("Create Index If Not Exists DscStoreSrNo On DscStore (SrNo)")};
}

QString flushTables() {
    return QStringLiteral("Flush Tables");
}

QString selectAll() {
    return QStringLiteral("Select * from DscStore Order By DtFrom,Nm");
}

QString selectExpiringBy(const QString& cutOff) {
    return QStringLiteral("Select * from DscStore Where DtTo<='") + FormatDbDate(cutOff) +
           QStringLiteral("' Order By DtFrom,Nm");
}

QString selectTypes() {
    return QStringLiteral("Select Distinct Typ from DSCStore Where Typ<>''");
}

QString selectIdProofTypes() {
    return QStringLiteral("Select Distinct IdPrTyp from DSCStore Where IdPrTyp not in ") +
           QLatin1String(kFixedProofTypes);
}

QString selectAddrProofTypes() {
    return QStringLiteral("Select Distinct AddrPrTyp from DSCStore Where AddrPrTyp not in ") +
           QLatin1String(kFixedProofTypes);
}

QString selectBySerial(const QString& serial) {
    return QStringLiteral("Select * From DscStore Where SerialNo='") + QuoteSql(serial) + QLatin1Char('\'');
}

QString selectBySerialExcept(const QString& serial, int srNo) {
    return selectBySerial(serial) + QStringLiteral(" and SrNo<>") + QString::number(srNo);
}

QString selectMaxSrNo() {
    return QStringLiteral("Select Max(SrNo) From DscStore");
}

QString selectByRecordNumber(int srNo) {
    return QStringLiteral("Select * From DscStore Where SrNo=") + QString::number(srNo);
}

QString insertRecord(int srNo, const RecordValues& values) {
    QString sql = QStringLiteral("Insert Into DscStore Values (") + QString::number(srNo);
    for (int i = 0; i < int(values.size()); ++i)
        sql += QStringLiteral(",'") + value(values, i) + QLatin1Char('\'');
    return sql + QLatin1Char(')');
}

QString insertRecordKeepingNulls(int srNo, const RecordValues& values) {
    QString sql = QStringLiteral("Insert Into DscStore Values (") + QString::number(srNo);
    for (int i = 0; i < int(values.size()); ++i)
        sql += values[size_t(i)].isNull() ? QStringLiteral(",Null")
                                          : QStringLiteral(",'") + value(values, i) + QLatin1Char('\'');
    return sql + QLatin1Char(')');
}

QString updateRecord(int srNo, const RecordValues& values) {
    QString sql = QStringLiteral("Update DscStore Set ");
    for (int i = 0; i < int(values.size()); ++i) {
        if (i > 0)
            sql += QLatin1Char(',');
        sql += QLatin1String(RecordLayout::name(RecordLayout::valueField(i))) + QStringLiteral("='") +
               value(values, i) + QLatin1Char('\'');
    }
    return sql + QStringLiteral(" Where SrNo=") + QString::number(srNo);
}

QString deleteRecord(int srNo) {
    return QStringLiteral("Delete From DscStore Where SrNo=") + QString::number(srNo);
}

} // namespace StoreStatements
