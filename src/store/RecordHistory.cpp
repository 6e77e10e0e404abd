#include "store/RecordHistory.h"

#include "platform/Db.h"
#include "platform/Error.h"

#include <pwd.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <unistd.h>

namespace RecordHistory {

namespace {
const QString kColumns = QStringLiteral("Id, ChangedAt, Host, Login, ChangeKind, SrNo, OldValues, NewValues, "
                                        "Documents, TakesBack");

std::optional<Change> changeFrom(const QString& name) {
    for (Change c : {Change::Insert, Change::Update, Change::Delete, Change::Restore, Change::Custody})
        if (changeName(c) == name)
            return c;
    return std::nullopt;
}

QList<Entry> readEntries(kyt::RowSet rs) {
    QList<Entry> out;
    for (; !rs.eof(); rs.next()) {
        Entry e;
        e.id = rs.value(0).toLongLong();
        e.at = rs.dateText(1);
        e.host = rs.text(2);
        e.login = rs.text(3);
        e.change = changeFrom(rs.text(4)).value_or(Change::Update);
        e.srNo = rs.value(5).toInt();
        if (e.change == Change::Custody) {
            e.custodyFrom = rs.text(6);
            e.custodyTo = rs.text(7);
        } else {
            e.before = valuesFrom(rs.text(6));
            e.after = valuesFrom(rs.text(7));
        }
        e.documents = rs.text(8);
        e.takesBack = rs.value(9).toLongLong();
        out << e;
    }
    rs.close();
    return out;
}

void makeTable(kyt::Db& d);

// A value that is there, even when empty: never the null text, which stands for NULL.
QString presentText(QString text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QString label(int valueIndex) {
    return QString::fromLatin1(RecordLayout::info(RecordLayout::valueField(valueIndex)).heading);
}
} // namespace

QString loginName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString changeName(Change change) {
    switch (change) {
    case Change::Insert:
        return QStringLiteral("insert");
    case Change::Update:
        return QStringLiteral("update");
    case Change::Delete:
        return QStringLiteral("delete");
    case Change::Restore:
        return QStringLiteral("restore");
    case Change::Custody:
        return QStringLiteral("custody");
    }
    return {};
}

void ensureTable(kyt::Db& db) {
    db.ensureOnce(QStringLiteral("DscHistory"), [](kyt::Db& d) {
        if (d.backend() == kyt::Db::Backend::SQLite) {
            // Looked for first: making it needs the file's write lock, which another desk may hold.
            kyt::RowSet rs = d.openRowSet(
                QStringLiteral("Select 1 From sqlite_master Where type='table' And name='DscHistory' Collate NoCase"));
            const bool exists = !rs.eof();
            rs.close();
            if (exists)
                return;
        }
        if (d.backend() == kyt::Db::Backend::SQLite) {
            // Under the file's write lock, as a write is: a desk that holds it is named as such.
            kyt::Db::AllocationLock lock(d);
            makeTable(d);
            lock.commit();
        } else {
            makeTable(d);
        }
    });
}

namespace {
void makeTable(kyt::Db& d) {
    {
        if (d.backend() == kyt::Db::Backend::SQLite)
            d.execute(QStringLiteral("Create Table If Not Exists DscHistory (Id Integer Primary Key AutoIncrement, "
                                     "ChangedAt DateTime, Host Varchar(255) Collate NoCase, Login Varchar(255) "
                                     "Collate NoCase, ChangeKind Varchar(10) Collate NoCase, SrNo Int(11), OldValues "
                                     "Text Collate NoCase, NewValues Text Collate NoCase, Documents Varchar(255) "
                                     "Collate NoCase, TakesBack Integer)"));
        else
            d.execute(QStringLiteral("Create Table If Not Exists DscHistory (Id BigInt Not Null Auto_Increment Primary "
                                     "Key, ChangedAt DateTime, Host Varchar(255), Login Varchar(255), ChangeKind "
                                     "Varchar(10), SrNo Int(11), OldValues MediumText, NewValues MediumText, "
                                     "Documents Varchar(255), TakesBack BigInt) Engine=InnoDB"));
        d.execute(QStringLiteral("Create Index If Not Exists DscHistorySrNo On DscHistory (SrNo)"));
        d.execute(QStringLiteral("Create Index If Not Exists DscHistoryTakesBack On DscHistory (TakesBack)"));
    }
}
} // namespace

std::optional<StoreStatements::RecordValues> storedValues(kyt::Db& db, int n) {
    kyt::RowSet rs = db.openRowSet(StoreStatements::selectByRecordNumber(n));
    if (rs.eof())
        return std::nullopt;
    StoreStatements::RecordValues values;
    for (int i = 0; i < RecordLayout::kValueCount; ++i) {
        const RecordLayout::Field f = RecordLayout::valueField(i);
        const int column = rs.indexOf(QLatin1String(RecordLayout::name(f)));
        // NULL stays null, told apart from an empty text, so that a restore writes it back as NULL.
        if (!rs.value(column).isNull())
            values[size_t(i)] = presentText(RecordLayout::isDate(f) ? rs.dateText(column) : rs.text(column));
    }
    rs.close();
    return values;
}

qint64 writeCustody(kyt::Db& db, int srNo, const QString& from, const QString& to) {
    // The old and new custody stand where an update keeps the record's values.
    const QString now = db.backend() == kyt::Db::Backend::SQLite ? QStringLiteral("datetime('now','localtime')")
                                                                 : QStringLiteral("NOW()");
    return db
        .execute(QStringLiteral("Insert Into DscHistory (ChangedAt, Host, Login, ChangeKind, SrNo, OldValues, "
                                "NewValues, Documents, TakesBack) Values (%1, ?, ?, ?, ?, ?, ?, '', 0)")
                     .arg(now),
                 {QSysInfo::machineHostName(), loginName(), changeName(Change::Custody), srNo, from, to})
        .toLongLong();
}

QList<Entry> entries(kyt::Db& db, int srNo, const QString& since) {
    QString sql = QStringLiteral("Select %1 From DscHistory Where 1=1").arg(kColumns);
    QVariantList values;
    if (srNo > 0) {
        sql += QStringLiteral(" And SrNo=?");
        values << srNo;
    }
    if (!since.isEmpty()) {
        sql += QStringLiteral(" And ChangedAt>=?");
        values << since + QStringLiteral(" 00:00:00");
    }
    return readEntries(db.openRowSet(sql + QStringLiteral(" Order By Id Desc"), values));
}

std::optional<Entry> entry(kyt::Db& db, qint64 id) {
    const QList<Entry> found =
        readEntries(db.openRowSet(QStringLiteral("Select %1 From DscHistory Where Id=?").arg(kColumns), {id}));
    return found.isEmpty() ? std::nullopt : std::optional<Entry>(found.first());
}

namespace {
QList<Entry> openDeletes(kyt::Db& db, int srNo) {
    QString sql = QStringLiteral("Select %1 From DscHistory d Where ChangeKind=? And Not Exists (Select 1 From "
                                 "DscHistory r Where r.TakesBack=d.Id)")
                      .arg(kColumns);
    QVariantList values{changeName(Change::Delete)};
    if (srNo > 0) {
        sql += QStringLiteral(" And SrNo=?");
        values << srNo;
    }
    return readEntries(db.openRowSet(sql + QStringLiteral(" Order By Id Desc"), values));
}
} // namespace

QList<Entry> deletedRecords(kyt::Db& db) {
    return openDeletes(db, 0);
}

std::optional<Entry> lastDelete(kyt::Db& db, int n) {
    if (n < 1)
        return std::nullopt;
    const QList<Entry> found = openDeletes(db, n);
    return found.isEmpty() ? std::nullopt : std::optional<Entry>(found.first());
}

std::optional<Entry> restoreOf(kyt::Db& db, qint64 deleteId) {
    const QList<Entry> found = readEntries(db.openRowSet(
        QStringLiteral("Select %1 From DscHistory Where TakesBack=? Order By Id").arg(kColumns), {deleteId}));
    return found.isEmpty() ? std::nullopt : std::optional<Entry>(found.first());
}

QList<FieldChange> changes(const Entry& entry) {
    if (entry.change == Change::Custody)
        return {{QStringLiteral("Token With"), entry.custodyFrom, entry.custodyTo}};
    QList<FieldChange> out;
    for (int i = 0; i < RecordLayout::kValueCount; ++i) {
        const QString before = entry.before ? (*entry.before)[size_t(i)] : QString();
        const QString after = entry.after ? (*entry.after)[size_t(i)] : QString();
        if (before != after)
            out.append({label(i), before, after});
    }
    return out;
}

QJsonObject toJson(const Entry& entry) {
    auto values = [](const std::optional<StoreStatements::RecordValues>& v) -> QJsonValue {
        if (!v)
            return QJsonValue::Null;
        QJsonObject o;
        for (int i = 0; i < RecordLayout::kValueCount; ++i)
            o.insert(QLatin1String(RecordLayout::name(RecordLayout::valueField(i))), (*v)[size_t(i)]);
        return o;
    };
    QJsonArray changed;
    for (const FieldChange& c : changes(entry))
        changed.append(QJsonObject{{QStringLiteral("field"), c.field},
                                   {QStringLiteral("before"), c.before},
                                   {QStringLiteral("after"), c.after}});
    QJsonObject o{{QStringLiteral("id"), entry.id},
                  {QStringLiteral("at"), entry.at},
                  {QStringLiteral("host"), entry.host},
                  {QStringLiteral("login"), entry.login},
                  {QStringLiteral("change"), changeName(entry.change)},
                  {QStringLiteral("srNo"), entry.srNo},
                  {QStringLiteral("before"), values(entry.before)},
                  {QStringLiteral("after"), values(entry.after)},
                  {QStringLiteral("changes"), changed}};
    if (!entry.documents.isEmpty())
        o.insert(QStringLiteral("documents"), entry.documents);
    if (entry.takesBack > 0)
        o.insert(QStringLiteral("takesBack"), entry.takesBack);
    return o;
}

QString valuesText(const StoreStatements::RecordValues& values) {
    QJsonArray a;
    for (const QString& v : values)
        a.append(v.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(v));
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
}

std::optional<StoreStatements::RecordValues> valuesFrom(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isArray() || doc.array().size() != RecordLayout::kValueCount)
        return std::nullopt;
    StoreStatements::RecordValues values;
    for (int i = 0; i < RecordLayout::kValueCount; ++i)
        if (const QJsonValue v = doc.array().at(i); !v.isNull())
            values[size_t(i)] = presentText(v.toString());
    return values;
}

} // namespace RecordHistory
