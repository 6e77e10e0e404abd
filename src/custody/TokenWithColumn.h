#pragma once

#include "custody/TokenCustody.h"
#include "store/CertRows.h"

// The list's "Token With" column: for each listed record, with whom its token is now, as the form's
// token line names it ("Not recorded" without movements). Read once per load, one look-up a row.
namespace custody {

inline const QString kTokenWithHeading = QStringLiteral("Token With");

class TokenWithColumn {
public:
    TokenWithColumn() = default;
    // Reads the current custody of every record; a register without movements has none.
    explicit TokenWithColumn(kyt::Db& db);

    // What the movements are as of now: it differs once any desk has recorded one more. A column
    // read at the same stamp is still right, and a reload may use it again instead of reading.
    static QString stamp(kyt::Db& db);
    const QString& readAt() const { return stamp_; }
    // The same texts for another load.
    TokenWithColumn again() const;

    QString cell(const CertRows::Fields& fields);
    // The longest text handed out, for fitting the column.
    const QString& widest() const { return widest_; }

private:
    struct Shown {
        QString text; // as shown when the party is not the record's holder
        QString name; // a person's name, to tell the holder
    };
    QHash<int, Shown> shown_;
    QString widest_;
    QString stamp_;
};

} // namespace custody
