#include "store/RenewalQueue.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"
#include "store/ReminderLog.h"
#include "store/Renewals.h"

#include <algorithm>

namespace RenewalQueue {

namespace {
// More days than lie between any two dates with four-digit years.
constexpr double kMaxDays = 3652059;

QString dbDate(const QDateTime& at) {
    return FormatDbDate(FormatDisplayDate(at));
}

QDateTime daysFrom(const QDateTime& now, double days) {
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59));
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0, 0));
    if (!(days <= kMaxDays))
        return days > 0 ? last : first;
    if (!(days >= -kMaxDays))
        return first;
    const QDateTime at = now.addDays(qint64(days));
    return at > last ? last : at < first ? first : at;
}

} // namespace

QStringList viewHeadings() {
    return {QStringLiteral("Days Left"), QStringLiteral("Last Reminded")};
}

std::vector<listexport::Kind> viewKinds() {
    return {listexport::Kind::Number, listexport::Kind::Date};
}

CertRows::Selection select(View view, const QDateTime& now, double days) {
    if (view == View::Due) {
        const QString cutOff = FormatDisplayDate(daysFrom(now, std::max(0.0, days)));
        return {QStringLiteral("List of Certificates Due for Renewal on or before ") + cutOff, cutOff,
                QStringLiteral("Select * from DscStore Where DtTo>'") + dbDate(now) + QStringLiteral("' And DtTo<='") +
                    FormatDbDate(cutOff) + QStringLiteral("' Order By DtTo,Nm")};
    }
    const QString since = FormatDisplayDate(daysFrom(now, -std::max(0.0, days)));
    return {QStringLiteral("List of Certificates Expired since ") + since + QStringLiteral(" and not Renewed"),
            FormatDisplayDate(now),
            QStringLiteral("Select * from DscStore Where DtTo<='") + dbDate(now) + QStringLiteral("' And DtTo>'") +
                FormatDbDate(since) + QStringLiteral("' Order By DtTo Desc,Nm")};
}

QString daysLeft(const QDate& today, QStringView validTo) {
    if (validTo.size() < 10)
        return {};
    const QDate date(validTo.mid(6, 4).toInt(), validTo.mid(3, 2).toInt(), validTo.mid(0, 2).toInt());
    return date.isValid() ? QString::number(today.daysTo(date)) : QString();
}

QHash<int, QString> lastReminded(kyt::Db& db) {
    QHash<int, QString> when;
    const QHash<int, reminderlog::LastReminder> all = reminderlog::lastRemindedAll(db);
    when.reserve(all.size());
    for (auto at = all.cbegin(); at != all.cend(); ++at)
        when.insert(at.key(), at->sentAtSeconds);
    return when;
}

} // namespace RenewalQueue
