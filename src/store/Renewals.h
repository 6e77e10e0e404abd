#pragma once

#include "store/SameHolder.h"
#include "store/StoreStatements.h"

#include <functional>
#include <optional>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>

namespace kyt {
class Db;
}

// Which certificate renews which. A record renews an older one when its holder is the same (see
// SameHolder) and it is valid to a later date. The links live in a table of their own beside
// DscStore, DscRenewals: the old and the new record number, both serial numbers, when the link was
// made (the database's clock, UTC) and by which desk. A record renews at most one record and is
// renewed by at most one; a link is made when a record is saved or imported, and corrected by hand
// with link and unlink. Failures raise kyt::Error.
namespace Renewals {

struct Link {
    int oldSrNo = 0;
    int newSrNo = 0;
    QString oldSerial;
    QString newSerial;
    QString linkedAt; // "DD/MM/YYYY HH:MM:SS", UTC
    QString desk;
};

// A record as the matching sees it.
struct Issue {
    int srNo = 0;
    HolderIdentity holder;
    QString serial;
    QDateTime validTo;
};
Issue issueOf(int srNo, const StoreStatements::RecordValues& values);
// An Issue's Valid To from "DD/MM/YYYY HH:MM:SS" (invalid for any other text). Read as UTC, since
// the dates are compared only with each other: a local time would consult the system's time zone
// files for every record, which on a large register costs more than the rest of its reading.
QDateTime validToOf(QStringView shown);
// Record n as stored; none when there is no such record.
std::optional<Issue> readIssue(kyt::Db& db, int srNo);

// This desk, as links and their log name it: the user and the machine.
QString thisDesk();

// Whether the table is there; a register made before renewals were linked has none.
bool tableExists(kyt::Db& db);
// " And ..." leaving out the records of DscStore renewed already, for a statement's Where; empty
// without the table (every record then counts as not renewed).
QString notRenewedCondition(bool linksTable);
// Creates the table when missing. A register that gets it now is given the links its records
// already imply, so that renewals made before are not listed as due.
void ensureTable(kyt::Db& db, const QString& desk);

QList<Link> links(kyt::Db& db);                          // by old, then new record number; none without the table
std::optional<Link> renewalOf(kyt::Db& db, int oldSrNo); // the link in which the record is the old one
// The records another renews (the old one of every link); without the table, those the register's
// records imply, as the table would link them. A list leaves them out by this set: a look-up a row
// costs less than a subquery a row.
QSet<int> renewedRecords(kyt::Db& db);
std::optional<Link> renewedFrom(kyt::Db& db, int newSrNo); // the link in which the record is the new one

// Told of each link as link() or linkRecord() makes it, in the same transaction: what follows a
// certificate to its renewal (such as who holds its token) is carried over here. Raising undoes
// the link.
using LinkMade = std::function<void(kyt::Db& db, const Link& link)>;

enum class LinkResult { Linked, NoSuchRecord, SameRecord, AlreadyLinked, OldAlreadyRenewed, NewAlreadyRenews };
// Links two records by hand, whoever their holders are; `other` gets the link that stands in the way.
LinkResult link(kyt::Db& db, int oldSrNo, int newSrNo, const QString& desk, Link* other = nullptr,
                const LinkMade& made = {});
// False when there was no such link.
bool unlink(kyt::Db& db, int oldSrNo, int newSrNo);
// Removes every link of a record that was deleted; the other record stays as it is.
void removeLinksOf(kyt::Db& db, int srNo);

// Records grouped by holder name and type: where a renewal is looked for.
class HolderIndex {
public:
    // Every record of the register.
    static HolderIndex ofRegister(kyt::Db& db);
    // The records whose name may be the holder's (a superset: the rule decides).
    static HolderIndex ofName(kyt::Db& db, const QString& name);

    void add(const Issue& issue);
    // The latest record of the same holder valid to an earlier date: what `issue` renews; 0 none.
    int renewedRecord(const Issue& issue) const;
    // The earliest record of the same holder valid to a later date: what renews `issue`; 0 none.
    int renewingRecord(const Issue& issue) const;
    std::optional<Issue> find(int srNo) const;

private:
    // The records of the same holder key as `issue`, in place (empty when none).
    const QList<Issue>& groupFor(const Issue& issue) const;
    QHash<QString, QList<Issue>> groups_;
    QHash<int, QString> groupOf_;
};

// Makes the links a record just stored implies: from the older record it renews, and to a later
// record of the same holder, when neither side of such a link is linked already. Returns the links
// made.
QList<Link> linkRecord(kyt::Db& db, const HolderIndex& index, const Issue& record, const QString& desk,
                       const LinkMade& made = {});

} // namespace Renewals
