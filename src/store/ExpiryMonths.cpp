#include "store/ExpiryMonths.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"

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

ExpiryMonths ExpiryMonths::count(kyt::Db& db, const QDateTime& now) {
    ExpiryMonths counts;
    counts.firstMonth = monthStart(now, 0);
    // Each row falls in the first bucket whose end lies after its date: -1 expired, 0..11 the
    // months, 12 later; only the rows up to the last month's end are read.
    QString bucket = QStringLiteral("Case When DtTo<=") + dbMoment(now) + QStringLiteral(" Then -1");
    for (int k = 0; k < kMonths; ++k)
        bucket += QStringLiteral(" When DtTo<%1 Then %2").arg(dbMoment(monthStart(now, k + 1))).arg(k);
    bucket += QStringLiteral(" Else 12 End");
    const QString sql = QStringLiteral("Select %1 As Bucket, Count(*) From DscStore Where DtTo<%2 Group By %1")
                            .arg(bucket, dbMoment(monthStart(now, kMonths)));
    try {
        kyt::RowSet rs = db.openRowSet(sql);
        for (; !rs.eof(); rs.next()) {
            const int k = rs.value(0).toInt();
            const int n = rs.value(1).toInt();
            if (k < 0)
                counts.expired += n;
            else if (k < kMonths)
                counts.months[size_t(k)] += n;
        }
        rs.close();
        counts.readable = true;
    } catch (const kyt::Error&) {
        counts = {};
        counts.firstMonth = monthStart(now, 0);
    }
    return counts;
}

CertRows::Selection ExpiryMonths::monthSelection(const QDateTime& now, int index) {
    const QDate first = monthStart(now, index);
    const QString from =
        index == 0 ? QStringLiteral("DtTo>") + dbMoment(now) : QStringLiteral("DtTo>=") + dbMoment(first);
    const QString heading =
        QStringLiteral("List of Certificates Expiring in ") + QLocale::c().toString(first, QStringLiteral("MMMM yyyy"));
    return {heading, QString(),
            QStringLiteral("Select * from DscStore Where ") + from + QStringLiteral(" And DtTo<") +
                dbMoment(monthStart(now, index + 1)) + QStringLiteral(" Order By DtFrom,Nm")};
}
