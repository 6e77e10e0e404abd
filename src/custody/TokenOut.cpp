#include "custody/TokenOut.h"

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "custody/TokenCustody.h"
#include "platform/Db.h"
#include "store/Renewals.h"

#include <algorithm>

namespace custody {

namespace {
// The last movement of each record whose token it left out of the office, as an inline view with
// SrNo and MovedAt: a record's movements are written in order, so its last is its highest Id. A
// renewed record's token went on with its renewal, which carries its custody: it is counted once.
// Only records in the register count, as only they are listed (movements left by a record another
// program deleted have no row to show).
QString outNow(kyt::Db& db) {
    QString sql = QStringLiteral("Select c.SrNo, c.MovedAt From DscCustody c Join (Select SrNo, Max(Id) As Id From "
                                 "DscCustody Group By SrNo) l On l.Id=c.Id Where c.ToName<>'Office' And Exists "
                                 "(Select 1 From DscStore s Where s.SrNo=c.SrNo)");
    if (Renewals::tableExists(db))
        sql += QStringLiteral(" And c.SrNo Not In (Select OldSrNo From DscRenewals)");
    return sql;
}

// Out since before this moment: out for more than `days` days at `now`.
QString outBefore(const QDateTime& now, int days) {
    return FormatDbDate(FormatDisplayDate(now.addDays(-days)));
}
} // namespace

int outDaysSetting(ClsMain& component) {
    bool ok = false;
    const int days =
        component.GetSettingINI(QStringLiteral("Custody"), QStringLiteral("OutDays"), QString::number(kDefaultOutDays))
            .trimmed()
            .toInt(&ok);
    return ok && days >= 0 ? days : kDefaultOutDays;
}

OutCounts countOut(kyt::Db& db, const QDateTime& now, int days) {
    OutCounts counts;
    if (!tableExists(db))
        return counts;
    kyt::RowSet rs = db.openRowSet(
        QStringLiteral("Select Count(*), Sum(Case When o.MovedAt<? Then 1 Else 0 End) From (%1) o").arg(outNow(db)),
        {outBefore(now, std::max(days, 0))});
    if (!rs.eof()) {
        counts.out = rs.value(0).toInt();
        counts.overdue = rs.value(1).toInt(); // no rows: a null sum, read as 0
    }
    rs.close();
    return counts;
}

CertRows::Selection outSelection(kyt::Db& db, const QDateTime& now, std::optional<int> days) {
    QString heading = QStringLiteral("List of Certificates whose Token is Out of the Office");
    QString which = QStringLiteral("Select o.SrNo From (%1) o").arg(outNow(db));
    if (days) {
        heading += QStringLiteral(" for More than %1 Days").arg(*days);
        which += QStringLiteral(" Where o.MovedAt<'%1'").arg(outBefore(now, std::max(*days, 0)));
    }
    if (!tableExists(db))
        which = QStringLiteral("Select SrNo From DscStore Where 1=0");
    return {heading, QString(),
            QStringLiteral("Select * from DscStore Where SrNo In (%1) Order By DtFrom,Nm").arg(which)};
}

} // namespace custody
