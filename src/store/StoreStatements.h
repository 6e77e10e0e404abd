#pragma once

#include "store/RecordLayout.h"

#include <array>
#include <QString>
#include <QStringList>

// Every statement the register runs on DscStore, built as one text. Text values are quote-doubled,
// dates pass through FormatDbDate, numbers are written as decimal digits.
namespace StoreStatements {

// The values of a record after SrNo, in table order from Nm to AddrPrFlNm (see RecordLayout::Field), as
// typed or shown (dates as "DD/MM/YYYY HH:MM:SS").
using RecordValues = std::array<QString, RecordLayout::kValueCount>;
inline QString& valueOf(RecordValues& values, RecordLayout::Field field) {
    return values[size_t(RecordLayout::valueIndex(field))];
}

// A value the table cannot hold as given: longer than its column (a server would cut it), or
// holding a NUL character (which would cut the statement). index -1: every value fits.
struct UnstorableValue {
    int index = -1;
    bool nul = false;
    int limit = 0;
};
UnstorableValue FindUnstorableValue(const RecordValues& values);
// "<label> is longer than N characters" or "<label> holds a NUL character, which cannot be stored"
QString UnstorableText(const UnstorableValue& value, const QString& label);

QString createTable();
// The indexes, each made when missing, that keep the serial number look-ups and the highest
// record number of saving and importing from reading the whole table.
QStringList createIndexes();
QString flushTables();
QString selectAll();
QString selectExpiringBy(const QString& cutOff); // cut-off as "DD/MM/YYYY HH:MM:SS"
QString selectTypes();
QString selectIdProofTypes();
QString selectAddrProofTypes();
QString selectBySerial(const QString& serial);
QString selectBySerialExcept(const QString& serial, int srNo);
QString selectMaxSrNo();
QString selectByRecordNumber(int srNo);
QString insertRecord(int srNo, const RecordValues& values);
// As insertRecord, but a null value (QString()) is written as NULL rather than as an empty text:
// a restore writes a record back as it was, columns left NULL by whatever wrote it included.
QString insertRecordKeepingNulls(int srNo, const RecordValues& values);
QString updateRecord(int srNo, const RecordValues& values);
QString deleteRecord(int srNo);

} // namespace StoreStatements
