#include "reminders/ReminderSelection.h"

#include "component/Module1.h"
#include "platform/Db.h"
#include "platform/Error.h"
#include "reminders/ReminderSettings.h"
#include "store/Renewals.h"
#include "store/SameHolder.h"

#include <algorithm>
#include <QHash>

namespace {
QString sqlTime(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// A stored end of validity. Read by position: the general date parser would take most of the
// selection's time on a large register.
QDateTime validToOf(const QVariant& value) {
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    const QString s = value.toString();
    if (s.size() < 10 || s[4] != QLatin1Char('-') || s[7] != QLatin1Char('-'))
        return {};
    const QStringView v(s);
    auto number = [&](int from, int length) { return v.mid(from, length).toInt(); };
    const QTime time = s.size() >= 19 ? QTime(number(11, 2), number(14, 2), number(17, 2)) : QTime(0, 0);
    return QDateTime(QDate(number(0, 4), number(5, 2), number(8, 2)), time);
}

int largest(const QList<int>& steps) {
    return steps.isEmpty() ? 0 : *std::max_element(steps.begin(), steps.end());
}

// The step a certificate with `days` left is at: the smallest step not below it; none when it has
// more days left than every step.
std::optional<int> stepFor(const QList<int>& steps, int days) {
    std::optional<int> at;
    for (const int s : steps)
        if (days <= s && (!at || s < *at))
            at = s;
    return at;
}

QString holderKey(const QString& name) {
    return sameholder::folded(name);
}

// The records, by holder, whose names appear among the candidates: what a renewal is looked for in.
struct Issue {
    int srNo;
    HolderIdentity holder;
    QString serial;
    QDateTime validTo;
};

QHash<QString, QList<Issue>> issuesOf(kyt::Db& db, const QStringList& names) {
    QHash<QString, QList<Issue>> byHolder;
    constexpr qsizetype kNamesPerQuery = 5000;
    for (qsizetype from = 0; from < names.size(); from += kNamesPerQuery) {
        QStringList quoted;
        for (const QString& n : names.mid(from, kNamesPerQuery))
            quoted << QLatin1Char('\'') + QuoteSql(n.trimmed().toLower()) + QLatin1Char('\'');
        kyt::RowSet rs =
            db.openRowSet(QStringLiteral("Select SrNo, Nm, Typ, SerialNo, DtTo, Email, Mobile, IdPrNo From DscStore "
                                         "Where Lower(Trim(Nm)) In (%1)")
                              .arg(quoted.join(QLatin1Char(','))));
        for (; !rs.eof(); rs.next())
            byHolder[holderKey(rs.text(1))].append({rs.value(0).toInt(),
                                                    {rs.text(1), rs.text(2), rs.text(5), rs.text(6), rs.text(7)},
                                                    rs.text(3),
                                                    validToOf(rs.value(4))});
        rs.close();
    }
    return byHolder;
}

// The record that renews the reminder's certificate: the one valid longest, if any.
std::optional<int> renewalOf(const DueReminder& r, const QList<Issue>& issues) {
    const Issue* own = nullptr;
    for (const Issue& i : issues)
        if (i.srNo == r.srNo)
            own = &i;
    if (!own)
        return std::nullopt;
    const Issue* newest = nullptr;
    for (const Issue& i : issues)
        if (i.srNo != r.srNo && i.validTo > r.validTo && i.serial.trimmed() != r.serial.trimmed() &&
            sameholder::sameHolder(i.holder, own->holder) && (!newest || i.validTo > newest->validTo))
            newest = &i;
    return newest ? std::optional<int>(newest->srNo) : std::nullopt;
}
// The renewals the register has linked to the certificates valid to between `from` and `until`:
// new record by old. None when the register keeps no links.
QHash<int, int> linkedRenewals(kyt::Db& db, const QDateTime& from, const QDateTime& until) {
    QHash<int, int> newByOld;
    if (!Renewals::tableExists(db))
        return newByOld;
    kyt::RowSet rs = db.openRowSet(
        QStringLiteral("Select DscRenewals.OldSrNo, DscRenewals.NewSrNo From DscRenewals Join DscStore On "
                       "DscStore.SrNo=DscRenewals.OldSrNo Where DscStore.DtTo>='%1' And DscStore.DtTo<'%2'")
            .arg(sqlTime(from), sqlTime(until)));
    for (; !rs.eof(); rs.next())
        newByOld.insert(rs.value(0).toInt(), rs.value(1).toInt());
    rs.close();
    return newByOld;
}
} // namespace

QStringList ReminderSelection::createIndexes() {
    return {QStringLiteral("Create Index If Not Exists DscStoreDtTo On DscStore (DtTo)"),
            QStringLiteral("Create Index If Not Exists DscStoreNm On DscStore (Nm)")};
}

QDateTime ReminderSelection::earliestValidTo(const QList<int>& steps, const QDateTime& now) {
    return QDateTime(now.date().addDays(-largest(steps)), QTime(0, 0));
}

ReminderSelection ReminderSelection::select(kyt::Db& db, const QList<int>& steps, const QDateTime& now,
                                            const QSet<QString>& sent, const QHash<QString, QString>& held) {
    const QDate today = now.date();
    const QDateTime until(today.addDays(largest(steps) + 1), QTime(0, 0));
    kyt::RowSet rs =
        db.openRowSet(QStringLiteral("Select SrNo, Nm, Typ, SerialNo, IssAuth, DtTo, Email From DscStore Where "
                                     "DtTo>='%1' And DtTo<'%2'")
                          .arg(sqlTime(earliestValidTo(steps, now)), sqlTime(until)));
    QList<DueReminder> candidates;
    QStringList names;
    QSet<QString> seenNames;
    for (; !rs.eof(); rs.next()) {
        DueReminder r;
        r.srNo = rs.value(0).toInt();
        r.name = rs.text(1);
        r.type = rs.text(2);
        r.serial = rs.text(3);
        r.issuer = rs.text(4);
        r.validTo = validToOf(rs.value(5));
        r.email = rs.text(6).trimmed();
        if (!r.validTo.isValid())
            continue;
        r.days = int(today.daysTo(r.validTo.date()));
        if (r.validTo <= now) {
            r.step = DueReminder::kExpiredStep;
        } else {
            const auto step = stepFor(steps, r.days);
            if (!step)
                continue;
            r.step = *step;
        }
        if (sent.contains(r.key()))
            continue;
        // Names are looked up as the holder rule compares them: without surrounding blanks or case.
        const QString lookedUp = r.name.trimmed().toLower();
        if (!seenNames.contains(lookedUp)) {
            seenNames.insert(lookedUp);
            names << lookedUp;
        }
        candidates << r;
    }
    rs.close();

    const QHash<QString, QList<Issue>> issues = issuesOf(db, names);
    const QHash<int, int> linked = linkedRenewals(db, earliestValidTo(steps, now), until);
    ReminderSelection selection;
    for (const DueReminder& r : candidates) {
        const auto link = linked.constFind(r.srNo);
        if (const auto by =
                link != linked.cend() ? std::optional<int>(*link) : renewalOf(r, issues.value(holderKey(r.name)))) {
            selection.renewed << r;
            selection.renewedBy << *by;
        } else if (const auto holder = held.constFind(r.key()); holder != held.cend()) {
            selection.pending << r;
            selection.pendingNotes << *holder;
        } else if (isUsableAddress(r.email)) {
            selection.due << r;
        } else {
            selection.skipped << r;
            selection.skipReasons << (r.email.isEmpty() ? QStringLiteral("no e-mail address")
                                                        : QStringLiteral("e-mail address not usable"));
        }
    }
    return selection;
}
