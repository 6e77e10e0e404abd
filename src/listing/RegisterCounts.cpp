#include "listing/RegisterCounts.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"

namespace {
int count(kyt::Db& db, const QString& where) {
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select Count(*) from DscStore") + where);
    const int n = rs.eof() ? 0 : rs.value(0).toInt();
    rs.close();
    return n;
}

QString validToBy(const QDateTime& cutOff) {
    return QStringLiteral(" Where DtTo<='") + FormatDbDate(FormatDisplayDate(cutOff)) + QLatin1Char('\'');
}
} // namespace

RegisterCounts countRegister(kyt::Db& db, const QDateTime& now, int days) {
    RegisterCounts counts;
    try {
        counts.all = count(db, QString());
        counts.expired = count(db, validToBy(now));
        counts.expiring = count(db, validToBy(now.addDays(days)));
        counts.readable = true;
    } catch (const kyt::Error&) {
        counts = {};
    }
    return counts;
}
