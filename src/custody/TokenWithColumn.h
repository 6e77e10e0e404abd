#pragma once

#include "custody/TokenCustody.h"
#include "store/CertRows.h"

#include <vector>

// The list's "Token With" column: for each listed record, with whom its token is now, as the form's
// token line names it ("Not recorded" without movements). Read once per load, one look-up a row.
namespace custody {

inline const QString kTokenWithHeading = QStringLiteral("Token With");

class TokenWithColumn {
public:
    TokenWithColumn() = default;
    // Reads the current custody of every record; a register without movements has none.
    explicit TokenWithColumn(kyt::Db& db);

    // Brings a column read earlier up to date for another load: as it is when no desk has moved a
    // token since, with only the movements recorded since read when no record's movements were set
    // aside meanwhile, else read anew.
    void refresh(kyt::Db& db);
    // The same texts for another load.
    TokenWithColumn again() const;

    QString cell(const CertRows::Fields& fields);
    // The longest text handed out, for fitting the column.
    const QString& widest() const { return widest_; }

private:
    // What the movements are as of a moment: the highest movement Id, and how many movements were
    // ever set aside by deletes. A movement or a restore adds higher Ids; a delete adds to the other.
    struct Mark {
        bool table = false;
        qint64 lastId = 0;
        qint64 setAside = 0;
        bool operator==(const Mark&) const = default;
    };
    static Mark markOf(kyt::Db& db);
    void show(int srNo, const Party& with, QHash<QString, QString>& texts);

    struct Shown {
        QString text; // as shown when the party is not the record's holder (null: not recorded)
        QString name; // a person's name, to tell the holder
    };
    void put(int srNo, Shown shown);
    const Shown* find(int srNo) const;

    // By record number: numbers up to about twice the records with movements index a vector, which
    // a load looks up in fewer cache misses than a hash; any others are in the hash.
    std::vector<Shown> dense_;
    QHash<int, Shown> sparse_;
    QString widest_;
    Mark read_;
};

} // namespace custody
