#include "store/RegisterCheck.h"

#include "platform/Db.h"
#include "platform/Error.h"

QString WhyRegisterUnreadable(kyt::Db& db) {
    try {
        if (db.backend() == kyt::Db::Backend::SQLite) {
            kyt::RowSet check = db.openRowSet(QStringLiteral("PRAGMA quick_check"));
            const QString verdict = check.eof() ? QString() : check.text(0);
            check.close();
            if (verdict != QLatin1String("ok"))
                return QStringLiteral("the register file is damaged (%1)").arg(verdict.simplified());
        }
        kyt::RowSet rows = db.openRowSet(QStringLiteral("Select * From DscStore"));
        while (!rows.eof())
            rows.next();
        rows.close();
    } catch (const kyt::Error& e) {
        return e.record().description.simplified();
    }
    return {};
}
