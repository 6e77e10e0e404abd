#pragma once

#include <array>
#include <QString>
#include <QStringList>

// Every statement the register runs on DscStore, built as one text. Text values are quote-doubled,
// dates pass through FormatDbDate, numbers are written as decimal digits.
namespace StoreStatements {

// The sixteen columns of a record, in table order from SrNo to AddrPrFlNm.
inline constexpr int kColumns = 16;
// The fifteen values of a record after SrNo, in table order from Nm to AddrPrFlNm, as typed or
// shown (dates as "DD/MM/YYYY HH:MM:SS").
using RecordValues = std::array<QString, 15>;
// The names of those fifteen columns, in the same order.
inline constexpr std::array<const char*, 15> kValueFields = {
    "Nm",    "Typ",     "SerialNo", "IssAuth",  "DtFrom",    "DtTo",     "Email",     "Mobile",
    "TelNo", "IdPrTyp", "IdPrNo",   "IdPrFlNm", "AddrPrTyp", "AddrPrNo", "AddrPrFlNm"};

// The longest text each of the fifteen values may be, in characters, as the columns are declared
// (0: a date, which FormatDbDate writes).
inline constexpr std::array<int, 15> kValueLimits = {100, 100, 100, 100, 0,   0,   255, 50,
                                                     50,  100, 100, 255, 100, 100, 255};

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
QString updateRecord(int srNo, const RecordValues& values);
QString deleteRecord(int srNo);

} // namespace StoreStatements
