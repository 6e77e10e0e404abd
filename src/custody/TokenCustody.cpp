#include "custody/TokenCustody.h"

#include "platform/Db.h"
#include "store/DeletedCustody.h"
#include "store/RecordHistory.h"

#include <QSysInfo>

namespace custody {

namespace {
const QString kColumns =
    QStringLiteral("Id, SrNo, SerialNo, MovedAt, RecordedAt, FromName, FromPlace, ToName, ToPlace, Host, Login, Note");
const QString kShownFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");
const QString kStoredFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QList<Movement> readMovements(kyt::RowSet rs) {
    QList<Movement> out;
    for (; !rs.eof(); rs.next()) {
        Movement m;
        m.id = rs.value(0).toLongLong();
        m.srNo = rs.value(1).toInt();
        m.serialNo = rs.text(2);
        m.movedAt = rs.dateText(3);
        m.recordedAt = rs.dateText(4);
        m.from = {rs.text(5), rs.text(6)};
        m.to = {rs.text(7), rs.text(8)};
        m.host = rs.text(9);
        m.login = rs.text(10);
        m.note = rs.text(11);
        out << m;
    }
    rs.close();
    return out;
}

void makeTable(kyt::Db& d) {
    if (d.backend() == kyt::Db::Backend::SQLite)
        d.execute(QStringLiteral("Create Table If Not Exists DscCustody (Id Integer Primary Key AutoIncrement, SrNo "
                                 "Int(11), SerialNo Varchar(255), MovedAt DateTime, RecordedAt DateTime, FromName "
                                 "Varchar(255), FromPlace Varchar(255), ToName Varchar(255), ToPlace Varchar(255), "
                                 "Host Varchar(255), Login Varchar(255), Note Text)"));
    else
        d.execute(QStringLiteral("Create Table If Not Exists DscCustody (Id BigInt Not Null Auto_Increment Primary "
                                 "Key, SrNo Int(11), SerialNo Varchar(255), MovedAt DateTime, RecordedAt DateTime, "
                                 "FromName Varchar(255), FromPlace Varchar(255), ToName Varchar(255), ToPlace "
                                 "Varchar(255), Host Varchar(255), Login Varchar(255), Note Text) Engine=InnoDB"));
    d.execute(QStringLiteral("Create Index If Not Exists DscCustodySrNo On DscCustody (SrNo)"));
}

QDateTime shownTime(const QString& text) {
    return QDateTime::fromString(text, kShownFormat);
}

QString shown(const QDateTime& at) {
    return at.toString(kShownFormat);
}

// The record a movement is for, read inside the movement's transaction.
struct Certificate {
    QString serialNo, holder;
    QDateTime validFrom;
};

std::optional<Certificate> certificate(kyt::Db& db, int srNo) {
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select SerialNo, Nm, DtFrom From DscStore Where SrNo=?"), {srNo});
    if (rs.eof())
        return std::nullopt;
    Certificate c{rs.text(0), rs.text(1), shownTime(rs.dateText(2))};
    rs.close();
    return c;
}
} // namespace

QString describe(const Party& party, const QString& holder) {
    if (!party.isKnown())
        return kNotRecorded;
    if (party.isOffice())
        return party.place.isEmpty() ? kOffice : kOffice + QStringLiteral(", ") + party.place;
    if (!holder.trimmed().isEmpty() && party.name.compare(holder.trimmed(), Qt::CaseInsensitive) == 0)
        return party.name + QStringLiteral(" (holder)");
    return party.name;
}

bool tableExists(kyt::Db& db) {
    for (const QString& table : db.connection().tables())
        if (table.compare(QLatin1String("DscCustody"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void ensureTable(kyt::Db& db) {
    db.ensureOnce(QStringLiteral("DscCustody"), [](kyt::Db& d) {
        if (d.backend() != kyt::Db::Backend::SQLite) {
            makeTable(d);
            return;
        }
        // Looked for first: making it needs the file's write lock, which another desk may hold.
        if (tableExists(d))
            return;
        kyt::Db::AllocationLock lock(d);
        makeTable(d);
        lock.commit();
    });
    // Made with it, so that the first delete finds where to set a record's movements aside.
    DeletedCustody::ensureTable(db);
}

QList<Movement> movements(kyt::Db& db, int srNo) {
    return readMovements(
        db.openRowSet(QStringLiteral("Select %1 From DscCustody Where SrNo=? Order By Id").arg(kColumns), {srNo}));
}

std::optional<Movement> lastMovement(kyt::Db& db, int srNo) {
    const QList<Movement> last = readMovements(
        db.openRowSet(QStringLiteral("Select %1 From DscCustody Where Id=(Select Max(Id) From DscCustody Where SrNo=?)")
                          .arg(kColumns),
                      {srNo}));
    return last.isEmpty() ? std::nullopt : std::optional<Movement>(last.first());
}

QHash<int, Held> currentOfAll(kyt::Db& db) {
    QHash<int, Held> out;
    // SQLite gives the other columns of a group's Max() row with it: one pass over the SrNo index.
    kyt::RowSet rs = db.openRowSet(
        db.backend() == kyt::Db::Backend::SQLite
            ? QStringLiteral("Select SrNo, ToName, ToPlace, MovedAt, Max(Id) From DscCustody Group By SrNo")
            : QStringLiteral("Select c.SrNo, c.ToName, c.ToPlace, c.MovedAt From DscCustody c Join (Select SrNo, "
                             "Max(Id) As Id From DscCustody Group By SrNo) l On l.Id=c.Id"));
    out.reserve(rs.isEmpty() ? 0 : 1024);
    for (; !rs.eof(); rs.next())
        out.insert(rs.value(0).toInt(), Held{{rs.text(1), rs.text(2)}, rs.dateText(3)});
    rs.close();
    return out;
}

QDateTime databaseNow(kyt::Db& db) {
    kyt::RowSet rs = db.openRowSet(db.backend() == kyt::Db::Backend::SQLite
                                       ? QStringLiteral("Select datetime('now','localtime')")
                                       : QStringLiteral("Select Date_Format(Now(), '%Y-%m-%d %H:%i:%s')"));
    const QDateTime now = QDateTime::fromString(rs.text(0), kStoredFormat);
    rs.close();
    return now;
}

namespace {
// Writes a movement and its history entry; the caller holds the write lock and checked the request.
qint64 writeMovement(kyt::Db& db, const Movement& m, const QDateTime& at, const QDateTime& now, const QString& holder) {
    const qint64 id =
        db.execute(QStringLiteral("Insert Into DscCustody (SrNo, SerialNo, MovedAt, RecordedAt, FromName, FromPlace, "
                                  "ToName, ToPlace, Host, Login, Note) Values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {m.srNo, m.serialNo, at.toString(kStoredFormat), now.toString(kStoredFormat), m.from.name,
                    m.from.place, m.to.name, m.to.place, m.host, m.login, m.note})
            .toLongLong();
    RecordHistory::writeCustody(db, m.srNo, describe(m.from, holder), describe(m.to, holder));
    return id;
}

bool historyTableExists(kyt::Db& db) {
    for (const QString& table : db.connection().tables())
        if (table.compare(QLatin1String("DscHistory"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
} // namespace

void carryOver(kyt::Db& db, int oldSrNo, int newSrNo) {
    // Tables cannot be made inside the link's transaction; without them there is nothing to carry.
    if (!tableExists(db) || !historyTableExists(db))
        return;
    const std::optional<Movement> old = lastMovement(db, oldSrNo);
    if (!old || lastMovement(db, newSrNo))
        return;
    const std::optional<Certificate> cert = certificate(db, newSrNo);
    if (!cert)
        return;
    const QDateTime now = databaseNow(db);
    Movement m;
    m.srNo = newSrNo;
    m.serialNo = cert->serialNo;
    m.movedAt = m.recordedAt = shown(now);
    m.to = old->to;
    m.host = QSysInfo::machineHostName();
    m.login = RecordHistory::loginName();
    m.note = QStringLiteral("Carried over from Sr. No. %1, which this certificate renews").arg(oldSrNo);
    writeMovement(db, m, now, now, cert->holder);
}

Renewals::LinkMade carryOverOnLink() {
    return [](kyt::Db& db, const Renewals::Link& link) { carryOver(db, link.oldSrNo, link.newSrNo); };
}

Outcome record(kyt::Db& db, const Request& request) {
    Outcome outcome;
    const bool handOver = request.kind == Request::Kind::HandOver;
    const QString name = request.name.trimmed();
    if (handOver && name.isEmpty()) {
        outcome.refusal = QStringLiteral("Give the name of whom the token is handed over to.");
        return outcome;
    }
    if (handOver && name.compare(kOffice, Qt::CaseInsensitive) == 0) {
        outcome.refusal = QStringLiteral("A token comes back into the office by Receive, not by a hand-over.");
        return outcome;
    }
    if (request.at && !request.at->isValid()) {
        outcome.refusal = QStringLiteral("Enter the date and time as DD/MM/YYYY HH:MM:SS.");
        return outcome;
    }
    ensureTable(db);
    RecordHistory::ensureTable(db);

    // Under the register's write lock: the record cannot go, nor another movement come, between the
    // checks and the writing, and the movement and its history entry are kept together or not at all.
    kyt::Db::AllocationLock lock(db);
    const std::optional<Certificate> cert = certificate(db, request.srNo);
    if (!cert) {
        outcome.refusal = QStringLiteral("Sr. No. %1 is not in the register.").arg(request.srNo);
        return outcome;
    }
    const QDateTime now = databaseNow(db);
    const QDateTime at = request.at ? request.at->addMSecs(-request.at->time().msec()) : now;
    const std::optional<Movement> last = lastMovement(db, request.srNo);
    if (request.at && at > now) {
        outcome.refusal = QStringLiteral("The date %1 is in the future.").arg(shown(at));
        return outcome;
    }
    if (cert->validFrom.isValid() && at < cert->validFrom) {
        outcome.refusal = QStringLiteral("The date %1 is before the certificate's Valid From, %2.")
                              .arg(shown(at), shown(cert->validFrom));
        return outcome;
    }
    if (last && at < shownTime(last->movedAt)) {
        outcome.refusal =
            QStringLiteral("The date %1 is before the token's last movement, %2.").arg(shown(at), last->movedAt);
        return outcome;
    }

    Movement& m = outcome.movement;
    m.srNo = request.srNo;
    m.serialNo = cert->serialNo;
    m.movedAt = shown(at);
    m.recordedAt = shown(now);
    const Party current = last ? last->to : Party{};
    if (handOver) {
        m.from = current;
        m.to = {name, QString()};
    } else {
        m.from = name.isEmpty() ? current : Party{name, QString()};
        m.to = {kOffice, request.place.trimmed()};
    }
    m.host = QSysInfo::machineHostName();
    m.login = RecordHistory::loginName();
    m.note = request.note.trimmed();
    m.id = writeMovement(db, m, at, now, cert->holder);
    lock.commit();
    outcome.written = true;
    return outcome;
}

} // namespace custody
