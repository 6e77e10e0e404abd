#include "store/StoreStatements.h"

#include "component/Module1.h"

#include <algorithm>

namespace StoreStatements {

namespace {
const char* const kFixedProofTypes = "('','Passport','PAN Card','Voter ID Card','Driving License','ICAI "
                                     "Membership','ICSI Membership','ICWAI Membership')";
// Positions of the two dates among the fifteen values.
constexpr int kDtFrom = 4;
constexpr int kDtTo = 5;

QString value(const RecordValues& v, int i) {
    return i == kDtFrom || i == kDtTo ? FormatDbDate(v[size_t(i)]) : QuoteSql(v[size_t(i)]);
}
} // namespace

UnstorableValue FindUnstorableValue(const RecordValues& values) {
    for (int i = 0; i < int(values.size()); ++i) {
        const QString& v = values[size_t(i)];
        const int limit = kValueLimits[size_t(i)];
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
    return QStringLiteral(
        "Create Table If Not Exists DscStore (SrNo Int(11), Nm Varchar(100), Typ Varchar(100), SerialNo "
        "Varchar(100), IssAuth Varchar(100), DtFrom DateTime, DtTo DateTime, Email Varchar(255), Mobile Varchar(50), "
        "TelNo Varchar(50), IdPrTyp Varchar(100), IdPrNo Varchar(100), IdPrFlNm Varchar(255), AddrPrTyp "
        "Varchar(100), AddrPrNo Varchar(100), AddrPrFlNm Varchar(255))");
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

QString updateRecord(int srNo, const RecordValues& values) {
    QString sql = QStringLiteral("Update DscStore Set ");
    for (int i = 0; i < int(values.size()); ++i) {
        if (i > 0)
            sql += QLatin1Char(',');
        sql += QLatin1String(kValueFields[size_t(i)]) + QStringLiteral("='") + value(values, i) + QLatin1Char('\'');
    }
    return sql + QStringLiteral(" Where SrNo=") + QString::number(srNo);
}

QString deleteRecord(int srNo) {
    return QStringLiteral("Delete From DscStore Where SrNo=") + QString::number(srNo);
}

} // namespace StoreStatements
