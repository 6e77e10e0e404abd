#include "store/RegisterCounts.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"
#include "store/Renewals.h"

namespace {
// Those valid to the cut-off at the latest, counted in the same pass as the whole table; with
// `notRenewed`, only those without a renewal.
QString validToBy(const QDateTime& cutOff, bool notRenewed = false) {
    return QStringLiteral("Sum(Case When DtTo<='") + FormatDbDate(FormatDisplayDate(cutOff)) + QLatin1Char('\'') +
           Renewals::notRenewedCondition(notRenewed) + QStringLiteral(" Then 1 Else 0 End)");
}
} // namespace

RegisterCounts countRegister(kyt::Db& db, const QDateTime& now, int days) {
    RegisterCounts counts;
    try {
        const bool links = Renewals::tableExists(db);
        kyt::RowSet rs = db.openRowSet(QStringLiteral("Select Count(*), ") + validToBy(now) + QStringLiteral(", ") +
                                       validToBy(now.addDays(days), links) + QStringLiteral(" from DscStore"));
        if (!rs.eof()) {
            counts.all = rs.value(0).toInt();
            counts.expired = rs.value(1).toInt(); // no rows: a null sum, read as 0
            counts.expiring = rs.value(2).toInt();
        }
        rs.close();
        // The months read the valid-to index, made here when missing: a large register pays for it
        // once, on the reading connection. A register that cannot take it is only slower.
        try {
            db.execute(ExpiryMonths::createIndex());
        } catch (const kyt::Error&) {
        }
        counts.months = ExpiryMonths::count(db, now);
        counts.readable = true;
    } catch (const kyt::Error&) {
        counts = {};
    }
    return counts;
}
