#include "store/Renewals.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "store/BoundStatement.h"
#include "store/RecordLayout.h"

#include <algorithm>
#include <QSet>
#include <QSysInfo>

namespace Renewals {

namespace {
const QString kColumns = QStringLiteral("OldSrNo, NewSrNo, OldSerialNo, NewSerialNo, LinkedAt, Desk");
const QString kIssueColumns = QStringLiteral("SrNo, Nm, Typ, SerialNo, DtTo, Email, Mobile, IdPrNo");

// Name and type: what two records of one holder share in any case, so the register is grouped by
// them.
QString groupKey(const HolderIdentity& holder) {
    return sameholder::folded(holder.name) + QLatin1Char('\t') + sameholder::folded(holder.type);
}

// One row of kIssueColumns.
Issue issueFrom(const kyt::RowSet& rs) {
    Issue issue;
    issue.srNo = rs.value(0).toInt();
    issue.holder = {rs.text(1), rs.text(2), rs.text(5), rs.text(6), rs.text(7)};
    issue.serial = rs.text(3);
    issue.validTo = validToOf(rs.dateText(4));
    return issue;
}

Link linkFrom(const kyt::RowSet& rs) {
    return {rs.value(0).toInt(), rs.value(1).toInt(), rs.text(2), rs.text(3), rs.dateText(4), rs.text(5)};
}

std::optional<Link> oneLink(kyt::Db& db, const QString& where, const QVariantList& values) {
    kyt::RowSet rs = bound::rows(db,
                                 QStringLiteral("Select ") + kColumns + QStringLiteral(" From DscRenewals Where ") +
                                     where + QStringLiteral(" Order By OldSrNo, NewSrNo"),
                                 values);
    std::optional<Link> found;
    if (!rs.eof())
        found = linkFrom(rs);
    rs.close();
    return found;
}

// The database's own clock in UTC: desks whose clocks differ agree on when a link was made.
QString databaseNow(const kyt::Db& db) {
    return db.backend() == kyt::Db::Backend::MySQL ? QStringLiteral("UTC_TIMESTAMP()")
                                                   : QStringLiteral("CURRENT_TIMESTAMP");
}

Link insertLink(kyt::Db& db, const Issue& older, const Issue& newer, const QString& desk) {
    bound::execute(db,
                   QStringLiteral("Insert Into DscRenewals (") + kColumns + QStringLiteral(") Values (?, ?, ?, ?, ") +
                       databaseNow(db) + QStringLiteral(", ?)"),
                   {older.srNo, newer.srNo, older.serial.left(100), newer.serial.left(100), desk.left(100)});
    return {older.srNo, newer.srNo, older.serial.left(100), newer.serial.left(100), QString(), desk.left(100)};
}

// Links made after the register got its table are written here, inside the caller's allocation
// lock (so that two desks cannot both link one record), with whatever `made` carries over.
Link makeLink(kyt::Db& db, const Issue& older, const Issue& newer, const QString& desk, const LinkMade& made) {
    Link link = insertLink(db, older, newer, desk);
    if (made)
        made(db, link);
    return link;
}

// The links every record of the register implies, oldest first, so that a row of renewals links
// one to the next: (older, newer) pairs.
QList<std::pair<Issue, Issue>> impliedLinks(kyt::Db& db) {
    HolderIndex index;
    QList<Issue> all;
    {
        kyt::RowSet rs = db.openRowSet(QStringLiteral("Select ") + kIssueColumns + QStringLiteral(" From DscStore"));
        for (; !rs.eof(); rs.next())
            all << issueFrom(rs);
        rs.close();
    }
    for (const Issue& issue : all)
        index.add(issue);
    std::stable_sort(all.begin(), all.end(), [](const Issue& a, const Issue& b) { return a.validTo < b.validTo; });
    QSet<int> renewed, renewing;
    QList<std::pair<Issue, Issue>> links;
    for (const Issue& record : all) {
        const int older = index.renewedRecord(record);
        if (older == 0 || renewed.contains(older) || renewing.contains(record.srNo))
            continue;
        links.append({*index.find(older), record});
        renewed.insert(older);
        renewing.insert(record.srNo);
    }
    return links;
}

void linkRegister(kyt::Db& db, const QString& desk) {
    const QList<std::pair<Issue, Issue>> links = impliedLinks(db);
    kyt::Db::AllocationLock lock(db);
    for (const auto& [older, newer] : links) {
        // Another desk making the same links at the same moment stored this one first.
        try {
            insertLink(db, older, newer, desk);
        } catch (const kyt::Error&) {
        }
    }
    lock.commit();
}
} // namespace

QDateTime validToOf(QStringView shown) {
    if (shown.size() != 19)
        return {};
    const auto number = [&](qsizetype at, qsizetype length) { return shown.mid(at, length).toInt(); };
    const QDate date(number(6, 4), number(3, 2), number(0, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
}

Issue issueOf(int srNo, const StoreStatements::RecordValues& values) {
    using namespace RecordLayout;
    const auto of = [&](Field f) { return values[size_t(valueIndex(f))]; };
    return {srNo, {of(Nm), of(Typ), of(Email), of(Mobile), of(IdPrNo)}, of(SerialNo), validToOf(of(DtTo))};
}

std::optional<Issue> readIssue(kyt::Db& db, int srNo) {
    kyt::RowSet rs = bound::rows(
        db, QStringLiteral("Select ") + kIssueColumns + QStringLiteral(" From DscStore Where SrNo=?"), {srNo});
    std::optional<Issue> issue;
    if (!rs.eof())
        issue = issueFrom(rs);
    rs.close();
    return issue;
}

QString thisDesk() {
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
    return (user.isEmpty() ? QString() : user + QLatin1Char('@')) + QSysInfo::machineHostName();
}

bool tableExists(kyt::Db& db) {
    try {
        kyt::RowSet rs = db.openRowSet(QStringLiteral("Select OldSrNo From DscRenewals Where 1=0"));
        rs.close();
        return true;
    } catch (const kyt::Error&) {
        return false;
    }
}

QString notRenewedCondition(bool linksTable) {
    return linksTable ? QStringLiteral(" And Not Exists (Select 1 From DscRenewals Where "
                                       "DscRenewals.OldSrNo=DscStore.SrNo)")
                      : QString();
}

void ensureTable(kyt::Db& db, const QString& desk) {
    if (tableExists(db))
        return;
    db.execute(QStringLiteral("Create Table If Not Exists DscRenewals (OldSrNo Int(11) Not Null, NewSrNo Int(11) Not "
                              "Null, OldSerialNo Varchar(100), NewSerialNo Varchar(100), LinkedAt DateTime, Desk "
                              "Varchar(100), Primary Key (OldSrNo, NewSrNo))"));
    db.execute(QStringLiteral("Create Index If Not Exists DscRenewalsNewSrNo On DscRenewals (NewSrNo)"));
    linkRegister(db, desk);
}

QList<Link> links(kyt::Db& db) {
    QList<Link> all;
    if (!tableExists(db))
        return all;
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select ") + kColumns +
                                   QStringLiteral(" From DscRenewals Order By OldSrNo, NewSrNo"));
    for (; !rs.eof(); rs.next())
        all << linkFrom(rs);
    rs.close();
    return all;
}

QSet<int> renewedRecords(kyt::Db& db) {
    QSet<int> renewed;
    if (!tableExists(db)) {
        // Read only, as the links will be made when a desk first writes to the register.
        for (const auto& [older, newer] : impliedLinks(db))
            renewed.insert(older.srNo);
        return renewed;
    }
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select OldSrNo From DscRenewals"));
    for (; !rs.eof(); rs.next())
        renewed.insert(rs.value(0).toInt());
    rs.close();
    return renewed;
}

std::optional<Link> renewalOf(kyt::Db& db, int oldSrNo) {
    return oneLink(db, QStringLiteral("OldSrNo=?"), {oldSrNo});
}

std::optional<Link> renewedFrom(kyt::Db& db, int newSrNo) {
    return oneLink(db, QStringLiteral("NewSrNo=?"), {newSrNo});
}

LinkResult link(kyt::Db& db, int oldSrNo, int newSrNo, const QString& desk, Link* other, const LinkMade& made) {
    if (oldSrNo == newSrNo)
        return LinkResult::SameRecord;
    kyt::Db::AllocationLock lock(db);
    const std::optional<Issue> older = readIssue(db, oldSrNo);
    const std::optional<Issue> newer = readIssue(db, newSrNo);
    if (!older || !newer)
        return LinkResult::NoSuchRecord;
    const std::optional<Link> renewal = renewalOf(db, oldSrNo);
    if (renewal && renewal->newSrNo == newSrNo)
        return LinkResult::AlreadyLinked;
    if (renewal) {
        if (other)
            *other = *renewal;
        return LinkResult::OldAlreadyRenewed;
    }
    if (const std::optional<Link> renews = renewedFrom(db, newSrNo)) {
        if (other)
            *other = *renews;
        return LinkResult::NewAlreadyRenews;
    }
    makeLink(db, *older, *newer, desk, made);
    lock.commit();
    return LinkResult::Linked;
}

bool unlink(kyt::Db& db, int oldSrNo, int newSrNo) {
    if (!oneLink(db, QStringLiteral("OldSrNo=? And NewSrNo=?"), {oldSrNo, newSrNo}))
        return false;
    bound::execute(db, QStringLiteral("Delete From DscRenewals Where OldSrNo=? And NewSrNo=?"), {oldSrNo, newSrNo});
    return true;
}

void removeLinksOf(kyt::Db& db, int srNo) {
    if (tableExists(db))
        bound::execute(db, QStringLiteral("Delete From DscRenewals Where OldSrNo=? Or NewSrNo=?"), {srNo, srNo});
}

HolderIndex HolderIndex::ofRegister(kyt::Db& db) {
    HolderIndex index;
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select ") + kIssueColumns + QStringLiteral(" From DscStore"));
    for (; !rs.eof(); rs.next())
        index.add(issueFrom(rs));
    rs.close();
    return index;
}

HolderIndex HolderIndex::ofName(kyt::Db& db, const QString& name) {
    HolderIndex index;
    QString pattern = name.trimmed();
    for (const QString& special : {QStringLiteral("!"), QStringLiteral("%"), QStringLiteral("_")})
        pattern.replace(special, QLatin1Char('!') + special);
    kyt::RowSet rs = bound::rows(
        db, QStringLiteral("Select ") + kIssueColumns + QStringLiteral(" From DscStore Where Nm Like ? Escape '!'"),
        {QLatin1Char('%') + pattern + QLatin1Char('%')});
    for (; !rs.eof(); rs.next())
        index.add(issueFrom(rs));
    rs.close();
    return index;
}

void HolderIndex::add(const Issue& issue) {
    const QString key = groupKey(issue.holder);
    if (const auto at = groupOf_.constFind(issue.srNo); at != groupOf_.cend()) {
        QList<Issue>& before = groups_[*at];
        before.removeIf([&](const Issue& i) { return i.srNo == issue.srNo; });
    }
    groups_[key].append(issue);
    groupOf_.insert(issue.srNo, key);
}

std::optional<Issue> HolderIndex::find(int srNo) const {
    const auto at = groupOf_.constFind(srNo);
    if (at == groupOf_.cend())
        return std::nullopt;
    for (const Issue& i : groups_.value(*at))
        if (i.srNo == srNo)
            return i;
    return std::nullopt;
}

const QList<Issue>& HolderIndex::groupFor(const Issue& issue) const {
    static const QList<Issue> none;
    const auto at = groups_.constFind(groupKey(issue.holder));
    return at == groups_.cend() ? none : *at;
}

int HolderIndex::renewedRecord(const Issue& issue) const {
    // `best` points into the group, so the group is walked in place, never as a copy.
    const Issue* best = nullptr;
    for (const Issue& i : groupFor(issue))
        if (i.srNo != issue.srNo && i.validTo.isValid() && i.validTo < issue.validTo &&
            sameholder::sameHolder(i.holder, issue.holder) && (!best || i.validTo > best->validTo))
            best = &i;
    return best ? best->srNo : 0;
}

int HolderIndex::renewingRecord(const Issue& issue) const {
    const Issue* best = nullptr;
    if (!issue.validTo.isValid())
        return 0;
    for (const Issue& i : groupFor(issue))
        if (i.srNo != issue.srNo && i.validTo > issue.validTo && sameholder::sameHolder(i.holder, issue.holder) &&
            (!best || i.validTo < best->validTo))
            best = &i;
    return best ? best->srNo : 0;
}

QList<Link> linkRecord(kyt::Db& db, const HolderIndex& index, const Issue& record, const QString& desk,
                       const LinkMade& made) {
    QList<Link> links;
    const auto tryLink = [&](int oldSrNo, int newSrNo) {
        if (oldSrNo == 0 || newSrNo == 0)
            return;
        kyt::Db::AllocationLock lock(db);
        if (renewalOf(db, oldSrNo) || renewedFrom(db, newSrNo))
            return;
        const std::optional<Issue> older = oldSrNo == record.srNo ? record : index.find(oldSrNo);
        const std::optional<Issue> newer = newSrNo == record.srNo ? record : index.find(newSrNo);
        links << makeLink(db, *older, *newer, desk, made);
        lock.commit();
    };
    tryLink(index.renewedRecord(record), record.srNo);
    tryLink(record.srNo, index.renewingRecord(record));
    return links;
}

} // namespace Renewals
