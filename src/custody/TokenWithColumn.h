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

    QString cell(const CertRows::Fields& fields);
    // The longest text handed out, for fitting the column.
    const QString& widest() const { return widest_; }

private:
    QHash<int, Held> held_;
    QString widest_;
};

} // namespace custody
