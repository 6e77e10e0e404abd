#include "store/TypeLists.h"

#include "platform/Db.h"

#include <QComboBox>

const QStringList& FixedProofTypes() {
    static const QStringList types = {QStringLiteral("Passport"),        QStringLiteral("PAN Card"),
                                      QStringLiteral("Voter ID Card"),   QStringLiteral("Driving License"),
                                      QStringLiteral("ICAI Membership"), QStringLiteral("ICSI Membership"),
                                      QStringLiteral("ICWAI Membership")};
    return types;
}

void AppendStoredTypes(kyt::Db& db, const QString& sql, QComboBox* list) {
    kyt::RowSet rs = db.openRowSet(sql);
    while (!rs.eof()) {
        list->addItem(rs.text(0));
        rs.next();
    }
    rs.close();
}
