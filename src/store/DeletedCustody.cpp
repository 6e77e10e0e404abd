#include "store/DeletedCustody.h"

#include "platform/Db.h"

namespace DeletedCustody {

namespace {
// The columns of a movement as DscCustody keeps them, its Id first.
const QString kMovement =
    QStringLiteral("Id, SrNo, SerialNo, MovedAt, RecordedAt, FromName, FromPlace, ToName, ToPlace, Host, Login, Note");
// The same without the Id, which a movement brought back gets anew, after every other.
const QString kMovementData =
    QStringLiteral("SrNo, SerialNo, MovedAt, RecordedAt, FromName, FromPlace, ToName, ToPlace, Host, Login, Note");

bool hasTable(kyt::Db& db, QLatin1String name) {
    for (const QString& table : db.connection().tables())
        if (table.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool custodyKept(kyt::Db& db) {
    return hasTable(db, QLatin1String("DscCustody"));
}

bool tableExists(kyt::Db& db) {
    return hasTable(db, QLatin1String("DscCustodyDeleted"));
}

void makeTable(kyt::Db& db) {
    if (db.backend() == kyt::Db::Backend::SQLite)
        db.execute(QStringLiteral("Create Table If Not Exists DscCustodyDeleted (DeleteEntry Integer, Id Integer, SrNo "
                                  "Int(11), SerialNo Varchar(255), MovedAt DateTime, RecordedAt DateTime, FromName "
                                  "Varchar(255), FromPlace Varchar(255), ToName Varchar(255), ToPlace Varchar(255), "
                                  "Host Varchar(255), Login Varchar(255), Note Text)"));
    else
        db.execute(QStringLiteral("Create Table If Not Exists DscCustodyDeleted (DeleteEntry BigInt, Id BigInt, SrNo "
                                  "Int(11), SerialNo Varchar(255), MovedAt DateTime, RecordedAt DateTime, FromName "
                                  "Varchar(255), FromPlace Varchar(255), ToName Varchar(255), ToPlace Varchar(255), "
                                  "Host Varchar(255), Login Varchar(255), Note Text) Engine=InnoDB"));
    db.execute(QStringLiteral("Create Index If Not Exists DscCustodyDeletedEntry On DscCustodyDeleted (DeleteEntry)"));
}

// Movements of records no longer in the register, kept from before deletes set them aside: each goes
// under its record's last delete (0 when the history has none, which no restore takes back).
void setAsideOrphans(kyt::Db& db) {
    const QString lastDelete =
        hasTable(db, QLatin1String("DscHistory"))
            ? QStringLiteral("Coalesce((Select Max(h.Id) From DscHistory h Where h.SrNo=c.SrNo And "
                             "h.ChangeKind='delete'), 0)")
            : QStringLiteral("0");
    db.execute(QStringLiteral("Insert Into DscCustodyDeleted (DeleteEntry, %1) Select %2, %3 From DscCustody c Where "
                              "Not Exists (Select 1 From DscStore s Where s.SrNo=c.SrNo)")
                   .arg(kMovement, lastDelete,
                        QStringLiteral("c.Id, c.SrNo, c.SerialNo, c.MovedAt, c.RecordedAt, c.FromName, c.FromPlace, "
                                       "c.ToName, c.ToPlace, c.Host, c.Login, c.Note")),
               {});
    db.execute(QStringLiteral("Delete From DscCustody Where Not Exists (Select 1 From DscStore s Where "
                              "s.SrNo=DscCustody.SrNo)"),
               {});
}
} // namespace

void ensureTable(kyt::Db& db) {
    // Looked for on every call until it is made: custody may start to be kept on another desk.
    if (!custodyKept(db))
        return;
    db.ensureOnce(QStringLiteral("DscCustodyDeleted"), [](kyt::Db& d) {
        if (tableExists(d))
            return;
        if (d.backend() == kyt::Db::Backend::SQLite) {
            // One step under the file's write lock: the table and the movements set aside with it.
            kyt::Db::AllocationLock lock(d);
            makeTable(d);
            setAsideOrphans(d);
            lock.commit();
            return;
        }
        makeTable(d); // on the server a table is made outside any transaction
        kyt::Db::AllocationLock lock(d);
        setAsideOrphans(d);
        lock.commit();
    });
}

void setAside(kyt::Db& db, int srNo, qint64 deleteEntry) {
    if (!custodyKept(db) || !tableExists(db))
        return;
    db.execute(QStringLiteral("Insert Into DscCustodyDeleted (DeleteEntry, %1) Select ?, %1 From DscCustody Where "
                              "SrNo=? Order By Id")
                   .arg(kMovement),
               {deleteEntry, srNo});
    db.execute(QStringLiteral("Delete From DscCustody Where SrNo=?"), {srNo});
}

void bringBack(kyt::Db& db, qint64 deleteEntry, int srNo) {
    if (!custodyKept(db) || !tableExists(db))
        return;
    db.execute(QStringLiteral("Insert Into DscCustody (%1) Select ?, %2 From DscCustodyDeleted Where DeleteEntry=? "
                              "Order By Id")
                   .arg(kMovementData, kMovementData.section(QStringLiteral(", "), 1)),
               {srNo, deleteEntry});
    // The copies stay, no longer under the delete: the count of movements ever set aside only grows.
    db.execute(QStringLiteral("Update DscCustodyDeleted Set DeleteEntry=Null Where DeleteEntry=?"), {deleteEntry});
}

qint64 setAsideCount(kyt::Db& db) {
    if (!tableExists(db))
        return 0;
    kyt::RowSet rs = db.openRowSet(QStringLiteral("Select Count(*) From DscCustodyDeleted"), {});
    const qint64 count = rs.value(0).toLongLong();
    rs.close();
    return count;
}

} // namespace DeletedCustody
