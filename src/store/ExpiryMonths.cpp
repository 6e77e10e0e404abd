#include "store/ExpiryMonths.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"
#include "store/Renewals.h"

#include <QLocale>

namespace {
QDate monthStart(const QDateTime& now, int index) {
    const QDate today = now.date();
    return QDate(today.year(), today.month(), 1).addMonths(index);
}

// A moment as the table's date columns compare with it.
QString dbMoment(const QDateTime& at) {
    return QLatin1Char('\'') + FormatDbDate(FormatDisplayDate(at)) + QLatin1Char('\'');
}

QString dbMoment(const QDate& day) {
    return dbMoment(QDateTime(day, QTime(0, 0)));
}
} // namespace

QString ExpiryMonths::createIndex() {
    // The same index the reminders make: whichever comes first makes it.
    return QStringLiteral("Create Index If Not Exists DscStoreDtTo On DscStore (DtTo)");
}

ExpiryMonths ExpiryMonths::count(kyt::Db& db, const QDateTime& now) {
    ExpiryMonths counts;
    counts.firstMonth = monthStart(now, 0);
    const int first = counts.firstMonth.year() * 12 + counts.firstMonth.month() - 1;
    // Range reads of the valid-to index: the expired, then the next twelve months grouped by their
    // "YYYY-MM" (what the first seven characters of a date are on both databases). The renewed are
    // counted the same way through the links and taken off: the links are far fewer than the rows
    // to test one by one (the cross join reads the links first on SQLite too).
    const auto tally = [&](const QString& count, const QString& from, int sign) {
        kyt::RowSet expired = db.openRowSet(QStringLiteral("Select ") + count + QLatin1Char(' ') + from +
                                            QStringLiteral(" DscStore.DtTo<=") + dbMoment(now));
        if (!expired.eof())
            counts.expired += sign * expired.value(0).toInt();
        expired.close();
        kyt::RowSet months = db.openRowSet(
            QStringLiteral("Select Substr(DscStore.DtTo,1,7), %1 %2 DscStore.DtTo>%3 And DscStore.DtTo<%4 Group By "
                           "Substr(DscStore.DtTo,1,7)")
                .arg(count, from, dbMoment(now), dbMoment(monthStart(now, kMonths))));
        for (; !months.eof(); months.next()) {
            const QString month = months.value(0).toString();
            const int k = month.left(4).toInt() * 12 + month.mid(5, 2).toInt() - 1 - first;
            if (k >= 0 && k < kMonths)
                counts.months[size_t(k)] += sign * months.value(1).toInt();
        }
        months.close();
    };
    try {
        tally(QStringLiteral("Count(*)"), QStringLiteral("From DscStore Where"), 1);
        // A record is renewed at most once; Distinct keeps a doubled link from counting it twice.
        if (Renewals::tableExists(db))
            tally(QStringLiteral("Count(Distinct DscRenewals.OldSrNo)"),
                  QStringLiteral("From DscRenewals Cross Join DscStore On DscStore.SrNo=DscRenewals.OldSrNo Where"),
                  -1);
        counts.readable = true;
    } catch (const kyt::Error&) {
        counts = {};
        counts.firstMonth = monthStart(now, 0);
    }
    return counts;
}

CertRows::Selection ExpiryMonths::monthSelection(const QDateTime& now, int index, bool linksTable) {
    const QDate first = monthStart(now, index);
    const QString from =
        index == 0 ? QStringLiteral("DtTo>") + dbMoment(now) : QStringLiteral("DtTo>=") + dbMoment(first);
    const QString heading =
        QStringLiteral("List of Certificates Expiring in ") + QLocale::c().toString(first, QStringLiteral("MMMM yyyy"));
    return {heading, QString(),
            QStringLiteral("Select * from DscStore Where ") + from + QStringLiteral(" And DtTo<") +
                dbMoment(monthStart(now, index + 1)) + Renewals::notRenewedCondition(linksTable) +
                QStringLiteral(" Order By DtFrom,Nm")};
}

CertRows::Selection ExpiryMonths::expiredSelection(const QDateTime& now, bool linksTable) {
    const QString cutOff = FormatDisplayDate(now);
    return {QStringLiteral("List of Certificates Expired on or before ") + cutOff +
                (linksTable ? QStringLiteral(" and not Renewed") : QString()),
            cutOff,
            QStringLiteral("Select * from DscStore Where DtTo<=") + dbMoment(now) +
                Renewals::notRenewedCondition(linksTable) + QStringLiteral(" Order By DtFrom,Nm")};
}
