#pragma once

// The layout of a register record, named once. A record is a row of table DscStore: its fields, in
// table order, are the table's columns. The certificate list shows a record as a row of columns: a
// running number first, then every field in table order, so the record number's column (hidden) is
// column 1. The values a record is written with are its fields after the record number, which the
// register assigns itself. Whatever reads, writes or shows a record by position takes the position
// from here.
namespace RecordLayout {

// The table's columns, in table order; each enumerator is the column's name in the table.
enum Field : int {
    SrNo,
    Nm,
    Typ,
    SerialNo,
    IssAuth,
    DtFrom,
    DtTo,
    Email,
    Mobile,
    TelNo,
    IdPrTyp,
    IdPrNo,
    IdPrFlNm,
    AddrPrTyp,
    AddrPrNo,
    AddrPrFlNm,
};
inline constexpr int kFieldCount = AddrPrFlNm + 1;

enum class Kind { Number, Text, Date };

struct FieldInfo {
    const char* name;    // the table column
    Kind kind;           // how it is declared: Int(11), Varchar(limit) or DateTime
    int limit;           // a text's declared length in characters; 0 for a number or a date
    const char* heading; // the certificate list's heading of its column
};

// A switch rather than a table, so that the compiler holds every field to its own entry.
constexpr FieldInfo info(Field field) {
    switch (field) {
    case SrNo:
        return {"SrNo", Kind::Number, 0, ""};
    case Nm:
        return {"Nm", Kind::Text, 100, "Certificate Name"};
    case Typ:
        return {"Typ", Kind::Text, 100, "Type of DSC"};
    case SerialNo:
        return {"SerialNo", Kind::Text, 100, "Serial No."};
    case IssAuth:
        return {"IssAuth", Kind::Text, 100, "Issuing Authority"};
    case DtFrom:
        return {"DtFrom", Kind::Date, 0, "Valid From"};
    case DtTo:
        return {"DtTo", Kind::Date, 0, "Valid To"};
    case Email:
        return {"Email", Kind::Text, 255, "E-mail Id"};
    case Mobile:
        return {"Mobile", Kind::Text, 50, "Mobile No."};
    case TelNo:
        return {"TelNo", Kind::Text, 50, "Tel. No."};
    case IdPrTyp:
        return {"IdPrTyp", Kind::Text, 100, "ID Proof Type"};
    case IdPrNo:
        return {"IdPrNo", Kind::Text, 100, "ID Proof No."};
    case IdPrFlNm:
        return {"IdPrFlNm", Kind::Text, 255, "ID Proof File Name"};
    case AddrPrTyp:
        return {"AddrPrTyp", Kind::Text, 100, "Address Proof Type"};
    case AddrPrNo:
        return {"AddrPrNo", Kind::Text, 100, "Address Proof No."};
    case AddrPrFlNm:
        return {"AddrPrFlNm", Kind::Text, 255, "Address Proof File Name"};
    }
    return {"", Kind::Text, 0, ""};
}

constexpr const char* name(Field field) {
    return info(field).name;
}

constexpr bool isDate(int field) {
    return field >= 0 && field < kFieldCount && info(Field(field)).kind == Kind::Date;
}

// A record's values: every field after the record number, in table order.
inline constexpr int kValueCount = kFieldCount - 1;
constexpr int valueIndex(Field field) {
    return field - Nm;
}
constexpr Field valueField(int index) {
    return Field(index + Nm);
}

// The certificate list's columns.
inline constexpr int kRunningNumberColumn = 0;
inline constexpr const char* kRunningNumberHeading = "Sr. No.";
inline constexpr int kColumnCount = kFieldCount + 1;
constexpr int columnOf(Field field) {
    return field + 1;
}
constexpr Field fieldAt(int column) {
    return Field(column - 1);
}
inline constexpr int kRecordNumberColumn = columnOf(SrNo); // hidden
inline constexpr int kFirstDataColumn = columnOf(Nm);      // the first a user can reach

constexpr const char* heading(int column) {
    return column == kRunningNumberColumn ? kRunningNumberHeading : info(fieldAt(column)).heading;
}

} // namespace RecordLayout
