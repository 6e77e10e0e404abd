#include "backup/RegisterBackup.h"

#include "backup/ArchiveParts.h"
#include "backup/DocumentPass.h"
#include "backup/WorkFiles.h"
#include "platform/Db.h"
#include "platform/DbAddress.h"
#include "platform/ReplacingFile.h"
#include "platform/SqliteTextComparison.h"
#include "store/DocumentWrites.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace backup {

namespace {
const QString kManifest = QStringLiteral("manifest.json");
const QString kSqlitePart = QStringLiteral("register.sqlite");
const QString kTables = QStringLiteral("tables/");
const QString kDocs = QStringLiteral("DscDocs/");
const QString kProgram = QStringLiteral("KYTDscMgr");
constexpr int kFormat = 1;
constexpr qint64 kRecentIds = 10000;
constexpr int kAttempts = 3;

// --- What the database holds at the moment of the copy ---------------------------------------

struct Snapshot {
    DocumentOwners owners;
    int history = 0;
};

sqlite3* sqliteHandle(kyt::Db& db) {
    const QVariant handle = db.connection().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

struct SqliteFile {
    sqlite3* db = nullptr;
    ~SqliteFile() { sqlite3_close_v2(db); }
};

// Hands each row of a query on a plain SQLite connection to `f`. A table the register does not
// have reads as empty (a register from before the history has none); any other failure fails the
// whole backup or restore, with `what` (the register) named, rather than leaving out what could not
// be read.
template <class F> void eachRow(sqlite3* db, const QString& what, const char* sql, F&& f) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(statement);
        if (why.startsWith(QLatin1String("no such table:")))
            return;
        fail(QStringLiteral("%1 cannot be read: %2").arg(what, why));
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> finalize(statement, sqlite3_finalize);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
        f(statement);
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("%1 cannot be read: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db))));
}

// The folders of documents put aside (by a delete, or by a save that replaced them) that no later
// entry took back.
const char* const kOpenDeletes =
    "SELECT Id, Documents FROM DscHistory d WHERE ChangeKind IN ('delete', 'update') AND Documents<>'' AND NOT EXISTS "
    "(SELECT 1 FROM DscHistory r WHERE r.TakesBack=d.Id)";

// Copies an SQLite register with the online backup, which sees one committed state however the
// other desks write meanwhile, and reads what the copy holds.
Snapshot copySqlite(kyt::Db& db, const QString& target) {
    sqlite3* source = sqliteHandle(db);
    if (!source)
        fail(QStringLiteral("the register's SQLite connection cannot be reached."));
    SqliteFile copy;
    if (sqlite3_open_v2(QFile::encodeName(target).constData(), &copy.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        fail(QStringLiteral("the copy of the register cannot be made at %1.").arg(target));
    if (!kyt::sqlitetext::installComparison(copy.db))
        fail(QStringLiteral("the copy of the register at %1 cannot compare its texts.").arg(target));
    // The copy is read into the archive, which is made to last; the copy itself need not be.
    sqlite3_exec(copy.db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    sqlite3_exec(copy.db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
    sqlite3_backup* run = sqlite3_backup_init(copy.db, "main", source, "main");
    if (!run)
        fail(QStringLiteral("the register cannot be copied: %1").arg(QString::fromUtf8(sqlite3_errmsg(copy.db))));
    int rc = SQLITE_OK;
    for (int tries = 0; tries < 600; ++tries) {
        rc = sqlite3_backup_step(run, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(100);
    }
    sqlite3_backup_finish(run);
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("the register cannot be copied: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
    Snapshot s;
    const QString what = QStringLiteral("the register");
    eachRow(copy.db, what, "SELECT SrNo FROM DscStore",
            [&](sqlite3_stmt* st) { s.owners.records.insert(sqlite3_column_int(st, 0)); });
    // One desk writes at a time, so the copy holds every entry up to its newest.
    eachRow(copy.db, what, "SELECT COUNT(*), COALESCE(MAX(Id), 0) FROM DscHistory", [&](sqlite3_stmt* st) {
        s.history = sqlite3_column_int(st, 0);
        s.owners.lastEntry = sqlite3_column_int64(st, 1);
    });
    eachRow(copy.db, what, kOpenDeletes, [&](sqlite3_stmt* st) {
        s.owners.kept[sqlite3_column_int64(st, 0)] =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    });
    // The copy is one file: a log beside it would be lost in the archive.
    eachRow(copy.db, QStringLiteral("the copy of the register"), "PRAGMA journal_mode=DELETE", [](sqlite3_stmt*) {});
    return s;
}

QString quotedName(const QString& name) {
    return QLatin1Char('`') + QString(name).replace(QLatin1Char('`'), QStringLiteral("``")) + QLatin1Char('`');
}

QJsonValue jsonOf(const QVariant& v) {
    if (v.isNull())
        return QJsonValue::Null;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QJsonValue(v.toString()); // kept as text: a 64-bit number stays exact
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QByteArray:
        return QJsonObject{{QStringLiteral("base64"), QString::fromLatin1(v.toByteArray().toBase64())}};
    default:
        return v.toString();
    }
}

// Reads every table of a server database in one consistent snapshot: its statement to create it
// and its rows, one JSON array a line (the column names first), into files in `folder`.
Snapshot copyServer(kyt::Db& db, const QString& folder, QStringList* tables) {
    QSqlQuery q(db.connection());
    auto run = [&](const QString& sql) {
        if (!q.exec(sql))
            fail(QStringLiteral("the register cannot be read: %1").arg(q.lastError().text().simplified()));
    };
    run(QStringLiteral("SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ"));
    run(QStringLiteral("START TRANSACTION WITH CONSISTENT SNAPSHOT, READ ONLY"));
    struct Finish {
        QSqlQuery& q;
        ~Finish() { q.exec(QStringLiteral("COMMIT")); }
    } finish{q};
    run(QStringLiteral("SHOW FULL TABLES WHERE Table_type='BASE TABLE'"));
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    Snapshot s;
    std::map<qint64, QString> deletes;
    QSet<qint64> takenBack;
    for (const QString& name : names) {
        run(QStringLiteral("SHOW CREATE TABLE %1").arg(quotedName(name)));
        if (!q.next())
            fail(QStringLiteral("the table %1 cannot be read.").arg(name));
        QFile create(folder + QLatin1Char('/') + name + QStringLiteral(".sql"));
        if (!create.open(QIODevice::WriteOnly) || create.write(q.value(1).toString().toUtf8()) < 0 || !create.flush())
            fail(QStringLiteral("a work file cannot be written in %1.").arg(folder));
        QFile rows(folder + QLatin1Char('/') + name + QStringLiteral(".jsonl"));
        if (!rows.open(QIODevice::WriteOnly))
            fail(QStringLiteral("a work file cannot be written in %1.").arg(folder));
        const bool store = name.compare(QLatin1String("DscStore"), Qt::CaseInsensitive) == 0;
        const bool history = name.compare(QLatin1String("DscHistory"), Qt::CaseInsensitive) == 0;
        QSqlQuery r(db.connection());
        r.setForwardOnly(true);
        // The history in the order of its ids, so that the ids the snapshot lacks are told.
        if (!r.exec(QStringLiteral("SELECT * FROM %1").arg(quotedName(name)) +
                    (history ? QStringLiteral(" ORDER BY Id") : QString())))
            fail(QStringLiteral("the register cannot be read: %1").arg(r.lastError().text().simplified()));
        const QSqlRecord columns = r.record();
        QJsonArray heading;
        for (int c = 0; c < columns.count(); ++c)
            heading.append(columns.fieldName(c));
        rows.write(QJsonDocument(heading).toJson(QJsonDocument::Compact) + '\n');
        const int srNo = columns.indexOf(QStringLiteral("SrNo"));
        const int id = columns.indexOf(QStringLiteral("Id")), kind = columns.indexOf(QStringLiteral("ChangeKind"));
        const int docs = columns.indexOf(QStringLiteral("Documents"));
        const int back = columns.indexOf(QStringLiteral("TakesBack"));
        // Without these the kept documents of deleted records could not be told.
        if (history && (id < 0 || kind < 0 || docs < 0 || back < 0))
            fail(QStringLiteral("the register's table %1 lacks the columns of a history.").arg(name));
        while (r.next()) {
            QJsonArray row;
            for (int c = 0; c < columns.count(); ++c)
                row.append(jsonOf(r.value(c)));
            if (rows.write(QJsonDocument(row).toJson(QJsonDocument::Compact) + '\n') < 0)
                fail(QStringLiteral("a work file cannot be written in %1.").arg(folder));
            if (store && srNo >= 0)
                s.owners.records.insert(r.value(srNo).toInt());
            if (history) {
                ++s.history;
                const qint64 at = r.value(id).toLongLong();
                // Ids still uncommitted at the snapshot were handed out lately; far older gaps are
                // rolled-back writes and are not kept, so that a history full of them costs no memory.
                if (at - s.owners.lastEntry < kRecentIds)
                    for (qint64 skipped = s.owners.lastEntry + 1; skipped < at; ++skipped)
                        s.owners.missingEntries.push_back(skipped);
                if (s.owners.missingEntries.size() > 2 * kRecentIds)
                    s.owners.missingEntries.erase(s.owners.missingEntries.begin(),
                                                  s.owners.missingEntries.begin() + kRecentIds);
                s.owners.lastEntry = std::max(s.owners.lastEntry, at);
                const QString change = r.value(kind).toString().toLower();
                if ((change == QLatin1String("delete") || change == QLatin1String("update")) &&
                    !r.value(docs).toString().isEmpty())
                    deletes[r.value(id).toLongLong()] = r.value(docs).toString();
                if (r.value(back).toLongLong() > 0)
                    takenBack.insert(r.value(back).toLongLong());
            }
        }
        if (r.lastError().isValid())
            fail(QStringLiteral("the register cannot be read: %1").arg(r.lastError().text().simplified()));
        if (!rows.flush())
            fail(QStringLiteral("a work file cannot be written in %1.").arg(folder));
        *tables << name;
    }
    for (const auto& [entry, documents] : deletes)
        if (!takenBack.contains(entry))
            s.owners.kept[entry] = documents;
    return s;
}

// --- Files ------------------------------------------------------------------------------------

// Refuses a register file path that is there and is no regular file (a folder, a device, a link).
void requireRegularTarget(const QString& file) {
    struct stat st {};
    const QByteArray path = QFile::encodeName(file);
    if (::lstat(path.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        fail(QStringLiteral("%1 is not a regular file.").arg(file));
    if (!QFileInfo(QFileInfo(file).absolutePath()).isDir())
        fail(QStringLiteral("the folder of %1 does not exist.").arg(file));
}

QJsonObject manifestOf(const QString& backend, const QString& version, const Snapshot& s, int documents,
                       const QList<Part>& parts) {
    QJsonArray listed;
    for (const Part& p : parts)
        listed.append(QJsonObject{{QStringLiteral("name"), p.name},
                                  {QStringLiteral("size"), QString::number(p.size)},
                                  {QStringLiteral("sha256"), p.sha256}});
    return {{QStringLiteral("program"), kProgram},
            {QStringLiteral("format"), kFormat},
            {QStringLiteral("version"), version},
            {QStringLiteral("created"), QDateTime::currentDateTime().toString(Qt::ISODate)},
            {QStringLiteral("backend"), backend},
            {QStringLiteral("counts"), QJsonObject{{QStringLiteral("records"), int(s.owners.records.size())},
                                                   {QStringLiteral("history"), s.history},
                                                   {QStringLiteral("documents"), documents}}},
            {QStringLiteral("parts"), listed}};
}

// --- Reading an archive back -------------------------------------------------------------------

struct Checked {
    QJsonObject manifest;
    QStringList names; // the parts, in archive order
};

// A part name as a backup writes it; anything else (an absolute path, "..") is refused.
bool knownPartName(const QString& name) {
    if (name.startsWith(QLatin1Char('/')) || name.split(QLatin1Char('/')).contains(QStringLiteral("..")) ||
        name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return false;
    return name == kManifest || name == kSqlitePart ||
           (name.startsWith(kTables) && name.count(QLatin1Char('/')) == 1) ||
           (name.startsWith(kDocs) && name.count(QLatin1Char('/')) >= 3);
}

// Reads the whole archive, handing each part's data to `write` (which may be empty), and checks
// it against the manifest. Throws with one line naming what is wrong.
Checked readChecked(const QString& file, const std::function<void(const QString&, const char*, qint64)>& write,
                    const std::function<void(const QString&)>& begin = {}) {
    struct stat st {};
    if (::stat(QFile::encodeName(file).constData(), &st) != 0)
        fail(QStringLiteral("%1 cannot be read: %2").arg(file, QString::fromLocal8Bit(strerror(errno))));
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("%1 is not a regular file.").arg(file));
    Checked checked;
    std::map<QString, Part> seen;
    QByteArray manifest;
    QString current;
    bool afterManifest = false;
    readParts(file, {[&](const QString& name, qint64 size) {
                         if (afterManifest)
                             fail(QStringLiteral("%1 was changed: %2 follows its manifest.").arg(file, name));
                         if (!knownPartName(name))
                             fail(QStringLiteral("%1 is not a backup of this program: it holds %2.").arg(file, name));
                         if (seen.count(name))
                             fail(QStringLiteral("%1 was changed: it holds %2 twice.").arg(file, name));
                         if (name == kManifest && size > (qint64(64) << 20))
                             fail(QStringLiteral("%1 is not a backup of this program.").arg(file));
                         current = name;
                         if (begin)
                             begin(name);
                     },
                     [&](const char* data, qint64 size) {
                         if (current == kManifest)
                             manifest.append(data, size);
                         else if (write)
                             write(current, data, size);
                     },
                     [&](const Part& part) {
                         seen[part.name] = part;
                         checked.names << part.name;
                         afterManifest = part.name == kManifest;
                     }});
    if (!afterManifest)
        fail(seen.empty() ? QStringLiteral("%1 is empty or not a backup.").arg(file)
                          : QStringLiteral("%1 is truncated: its manifest is missing.").arg(file));
    const QJsonDocument doc = QJsonDocument::fromJson(manifest);
    checked.manifest = doc.object();
    if (!doc.isObject() || checked.manifest.value(QStringLiteral("program")).toString() != kProgram)
        fail(QStringLiteral("%1 is not a backup of this program.").arg(file));
    if (checked.manifest.value(QStringLiteral("format")).toInt() != kFormat)
        fail(QStringLiteral("%1 is a backup in a format this version cannot read.").arg(file));
    QSet<QString> listed;
    for (const QJsonValue& v : checked.manifest.value(QStringLiteral("parts")).toArray()) {
        const QString name = v[QStringLiteral("name")].toString();
        listed.insert(name);
        const auto found = seen.find(name);
        if (found == seen.end())
            fail(QStringLiteral("%1 is incomplete: %2 is missing.").arg(file, name));
        if (QString::number(found->second.size) != v[QStringLiteral("size")].toString() ||
            found->second.sha256 != v[QStringLiteral("sha256")].toString())
            fail(QStringLiteral("%1 was changed: %2 does not match its checksum.").arg(file, name));
    }
    for (const auto& [name, part] : seen)
        if (name != kManifest && !listed.contains(name))
            fail(QStringLiteral("%1 was changed: it holds %2, which its manifest does not list.").arg(file, name));
    return checked;
}

Outcome outcomeOf(const QJsonObject& manifest) {
    const QJsonObject counts = manifest.value(QStringLiteral("counts")).toObject();
    return {
        true, {}, counts.value(QStringLiteral("records")).toInt(), counts.value(QStringLiteral("documents")).toInt()};
}

} // namespace

Outcome write(kyt::Db& db, const QString& docPath, const QString& file, const QString& version,
              const std::function<void()>& afterSnapshot) {
    try {
        // The archive is written to a new file beside `file` and renamed into place when complete.
        // What a killed backup left there goes first.
        if (const QString why = kyt::ReplacingFile::whyNotWritable(file); !why.isEmpty())
            fail(file + QLatin1Char(' ') + why);
        removeStaleWork(file);
        kyt::ReplacingFile partial(file);
        if (!partial.open())
            fail(file + QLatin1Char(' ') + partial.why());
        const int fd = static_cast<QFile&>(partial.device()).handle();
        const WorkLock partialHeld(fd);
        const bool sqlite = db.backend() == kyt::Db::Backend::SQLite;
        for (int attempt = 1;; ++attempt) {
            if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
                fail(
                    QStringLiteral("%1 cannot be written: %2").arg(file, QString::fromLocal8Bit(std::strerror(errno))));
            QTemporaryDir work(QFileInfo(file).absolutePath() + QStringLiteral("/.kytbackup-XXXXXX"));
            if (!work.isValid())
                fail(QStringLiteral("a work folder cannot be made beside %1.").arg(file));
            const WorkLock workHeld(work.path());
            QStringList tables;
            // No desk is between committing a row and writing its documents while the rows are copied.
            DocumentWrites writers(docPath, DocumentWrites::Side::Backup, DocumentWrites::kBackupPatience);
            if (writers.timedOut())
                fail(QStringLiteral("another desk kept writing proof documents for %1 s; try again.")
                         .arg(DocumentWrites::kBackupPatience.count() / 1000));
            const Snapshot snapshot =
                sqlite ? copySqlite(db, work.filePath(kSqlitePart)) : copyServer(db, work.path(), &tables);
            writers.release();
            if (afterSnapshot)
                afterSnapshot();

            ArchiveWriter archive(fd);
            QList<Part> parts;
            if (sqlite)
                parts << archive.addFile(kSqlitePart, work.filePath(kSqlitePart));
            for (const QString& table : tables) {
                parts << archive.addFile(kTables + table + QStringLiteral(".sql"),
                                         work.filePath(table + QStringLiteral(".sql")));
                parts << archive.addFile(kTables + table + QStringLiteral(".jsonl"),
                                         work.filePath(table + QStringLiteral(".jsonl")));
            }
            DocumentPass documents(archive, docPath + QStringLiteral("/DscDocs/"), parts);
            documents.readLive(snapshot.owners);
            if (!documents.settle(db, snapshot.owners)) {
                // Another desk replaced documents of the snapshot's records while they were read.
                if (attempt < kAttempts)
                    continue;
                fail(QStringLiteral("the register's documents kept changing while they were read; try again."));
            }
            archive.addBytes(kManifest,
                             QJsonDocument(manifestOf(sqlite ? QStringLiteral("sqlite") : QStringLiteral("mysql"),
                                                      version, snapshot, documents.documents(), parts))
                                 .toJson(QJsonDocument::Indented));
            archive.close();
            if (!partial.commit())
                fail(file + QLatin1Char(' ') + partial.why());
            return {true, {}, int(snapshot.owners.records.size()), documents.documents()};
        }
    } catch (const Failure& f) {
        return {false, f.line};
    } catch (const kyt::Error& e) {
        return {false, e.record().description.simplified()};
    }
}

Outcome verify(const QString& file) {
    try {
        return outcomeOf(readChecked(file, {}).manifest);
    } catch (const Failure& f) {
        return {false, f.line};
    }
}

namespace {

// --- Restoring ---------------------------------------------------------------------------------

bool folderHasFiles(const QString& folder) {
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    return it.hasNext();
}

// Work tables of a restore that did not finish: never a register's own rows.
bool restoreWorkTable(const QString& name) {
    return name.endsWith(QLatin1String("_kytrestore")) || name.endsWith(QLatin1String("_kytold"));
}

// Whether any table of the register holds a row: its records and history, and as much the custody,
// renewals and reminders kept beside them, which a restore would replace too.
bool sqliteHoldsRows(const QString& file) {
    if (!QFileInfo::exists(file))
        return false;
    SqliteFile f;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &f.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail(QStringLiteral("the register %1 cannot be read.").arg(file));
    const QString what = QStringLiteral("the register %1").arg(file);
    QStringList tables;
    eachRow(f.db, what, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
            [&](sqlite3_stmt* st) {
                tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            });
    bool rows = false;
    for (const QString& table : tables) {
        const QByteArray sql = "SELECT 1 FROM \"" +
                               QString(table).replace(QLatin1Char('"'), QStringLiteral("\"\"")).toUtf8() + "\" LIMIT 1";
        eachRow(f.db, what, sql.constData(), [&](sqlite3_stmt*) { rows = true; });
        if (rows)
            return true;
    }
    return false;
}

bool serverHoldsRows(kyt::Db& db) {
    QSqlQuery q(db.connection());
    auto run = [&](const QString& sql) {
        // A register that cannot be looked at is never taken for empty.
        if (!q.exec(sql))
            fail(QStringLiteral("the register cannot be read: %1").arg(q.lastError().text().simplified()));
    };
    run(QStringLiteral("SHOW FULL TABLES WHERE Table_type='BASE TABLE'"));
    QStringList tables;
    while (q.next())
        if (!restoreWorkTable(q.value(0).toString()))
            tables << q.value(0).toString();
    for (const QString& table : tables) {
        run(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quotedName(table)));
        if (q.next())
            return true;
    }
    return false;
}

QVariant valueFrom(const QJsonValue& v) {
    if (v.isNull())
        return QVariant();
    if (v.isObject())
        return QByteArray::fromBase64(v[QStringLiteral("base64")].toString().toLatin1());
    return v.toString();
}

using Move = std::function<bool(const QString& from, const QString& to)>;

bool renamed(const QString& from, const QString& to) {
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// The archive's tables, made anew beside the live ones and filled; swap() then puts them in place in
// one RENAME, so that the live tables stay as they were until that moment and a failure before it
// leaves them untouched. Tables of ours the archive lacks (it may come from before them) are taken
// out in the same RENAME, so that the register is the archive's and nothing else.
class ServerTables {
public:
    ServerTables(kyt::Db& db, QStringList tables) : db_(db), q_(db.connection()), tables_(std::move(tables)) {}
    ~ServerTables() { dropAll(swapped_ ? kOld : kFresh, swapped_ ? old_ : tables_); }
    ServerTables(const ServerTables&) = delete;
    ServerTables& operator=(const ServerTables&) = delete;

    void fill(const QString& staging);
    void swap();

private:
    static inline const QString kFresh = QStringLiteral("_kytrestore"), kOld = QStringLiteral("_kytold");
    void run(const QString& sql) {
        if (!q_.exec(sql))
            fail(QStringLiteral("the register cannot be restored: %1").arg(q_.lastError().text().simplified()));
    }
    void dropAll(const QString& suffix, const QStringList& tables) {
        for (const QString& t : tables)
            q_.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(quotedName(t + suffix)));
    }

    kyt::Db& db_;
    QSqlQuery q_;
    QStringList tables_;
    QStringList old_; // the live tables renamed away
    bool swapped_ = false;
};

void ServerTables::fill(const QString& staging) {
    try {
        dropAll(kFresh, tables_);
        for (const QString& t : tables_) {
            QFile create(staging + QStringLiteral("/tables/") + t + QStringLiteral(".sql"));
            if (!create.open(QIODevice::ReadOnly))
                fail(QStringLiteral("the archive lacks the table %1.").arg(t));
            QString sql = QString::fromUtf8(create.readAll());
            const int at = sql.indexOf(quotedName(t));
            if (at < 0)
                fail(QStringLiteral("the archive's table %1 cannot be made.").arg(t));
            sql.replace(at, quotedName(t).size(), quotedName(t + kFresh));
            run(sql);
            QFile rows(staging + QStringLiteral("/tables/") + t + QStringLiteral(".jsonl"));
            if (!rows.open(QIODevice::ReadOnly))
                fail(QStringLiteral("the archive lacks the rows of %1.").arg(t));
            const QJsonArray heading = QJsonDocument::fromJson(rows.readLine()).array();
            QStringList columns, marks;
            for (const QJsonValue& c : heading) {
                columns << quotedName(c.toString());
                marks << QStringLiteral("?");
            }
            run(QStringLiteral("START TRANSACTION"));
            QSqlQuery insert(db_.connection());
            if (!insert.prepare(
                    QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(quotedName(t + kFresh), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
                fail(QStringLiteral("the register cannot be restored: %1").arg(insert.lastError().text().simplified()));
            while (!rows.atEnd()) {
                const QByteArray line = rows.readLine();
                if (line.trimmed().isEmpty())
                    continue;
                const QJsonArray row = QJsonDocument::fromJson(line).array();
                for (int c = 0; c < row.size(); ++c)
                    insert.bindValue(c, valueFrom(row[c]));
                if (!insert.exec())
                    fail(QStringLiteral("the register cannot be restored: %1")
                             .arg(insert.lastError().text().simplified()));
            }
            run(QStringLiteral("COMMIT"));
        }
    } catch (...) {
        q_.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void ServerTables::swap() {
    run(QStringLiteral("SHOW FULL TABLES WHERE Table_type='BASE TABLE'"));
    QStringList live;
    while (q_.next())
        live << q_.value(0).toString();
    QStringList renames, old;
    for (const QString& t : live) {
        const bool ours = t.startsWith(QLatin1String("Dsc"), Qt::CaseInsensitive) && !restoreWorkTable(t);
        if (tables_.contains(t) || (ours && !tables_.contains(t, Qt::CaseInsensitive))) {
            renames << QStringLiteral("%1 TO %2").arg(quotedName(t), quotedName(t + kOld));
            old << t;
        }
    }
    for (const QString& t : tables_)
        renames << QStringLiteral("%1 TO %2").arg(quotedName(t + kFresh), quotedName(t));
    dropAll(kOld, old);
    if (!renames.isEmpty())
        run(QStringLiteral("RENAME TABLE ") + renames.join(QStringLiteral(", ")));
    old_ = old;
    swapped_ = true;
}

// The steps of a restore that change what is live, each with the step that takes it back.
class Steps {
public:
    // `docsAside`: where the replaced documents go, when that is not inside the work folder.
    Steps(QTemporaryDir& staging, const QString& docsAside) : staging_(staging), docsAside_(docsAside) {}
    void done(std::function<bool()> undo) { undo_.push_back(std::move(undo)); }
    // Takes back every step done, newest first, and fails with `why`; what cannot be put back stays
    // in the work folder (or where the replaced documents went), which the line names.
    [[noreturn]] void failAndUndo(const QString& why) {
        bool all = true;
        for (auto it = undo_.rbegin(); it != undo_.rend(); ++it)
            all = (*it)() && all;
        undo_.clear();
        if (all)
            fail(why);
        staging_.setAutoRemove(false);
        const QString kept = docsAside_.isEmpty() || !QFileInfo::exists(docsAside_)
                                 ? staging_.path()
                                 : QStringLiteral("%1 and %2").arg(staging_.path(), docsAside_);
        fail(QStringLiteral("%1 What was there could not all be put back; it is kept in %2.").arg(why, kept));
    }

private:
    QTemporaryDir& staging_;
    QString docsAside_;
    std::vector<std::function<bool()>> undo_;
};

// The documents of the archive in place of the folder's: the folder is moved to `aside` and the
// archive's moved in.
void swapDocuments(const QString& docs, const QString& aside, QTemporaryDir& staging, const Move& move, Steps& steps) {
    const QString old = aside, fresh = staging.filePath(QStringLiteral("DscDocs"));
    if (QFileInfo::exists(docs)) {
        if (!move(docs, old))
            steps.failAndUndo(QStringLiteral("the folder %1 cannot be replaced.").arg(docs));
        steps.done([=] { return move(old, docs); });
    }
    if (QFileInfo::exists(fresh)) {
        if (!move(fresh, docs))
            steps.failAndUndo(QStringLiteral("the documents cannot be put into %1.").arg(docs));
        steps.done([=] { return move(docs, fresh); });
    }
}

// The staged register file in place of the live one. The live file and its log files are moved
// aside, not removed (a log read into the new file would damage it), and removed once the new one
// is in place.
void swapSqliteFile(const QString& staged, const QString& target, const Move& move, Steps& steps) {
    const QString aside = target + QStringLiteral(".kytold");
    QStringList movedAside;
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        if (!QFileInfo::exists(target + suffix))
            continue;
        QFile::remove(aside + suffix);
        if (!move(target + suffix, aside + suffix))
            steps.failAndUndo(QStringLiteral("the register cannot be written at %1.").arg(target));
        steps.done([=] { return move(aside + suffix, target + suffix); });
        movedAside << aside + suffix;
    }
    if (!move(staged, target)) {
        // Another file system: copied beside the target first, so that the target changes in one step.
        const QString beside = target + QStringLiteral(".restoring");
        QFile::remove(beside);
        if (!QFile::copy(staged, beside) || !move(beside, target)) {
            QFile::remove(beside);
            steps.failAndUndo(QStringLiteral("the register cannot be written at %1.").arg(target));
        }
    }
    for (const QString& file : movedAside)
        QFile::remove(file);
}

// A time stamp for what a replacing restore keeps beside the folder, one that no earlier restore's
// backup or document folder has.
QString freshStamp(const QString& folder) {
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString stamp = now;
    for (int n = 2; QFileInfo::exists(folder + QStringLiteral("/KYTDscMgr-before-restore-%1.tar").arg(stamp)) ||
                    QFileInfo::exists(folder + QStringLiteral("/DscDocs-before-restore-%1").arg(stamp));
         ++n)
        stamp = QStringLiteral("%1-%2").arg(now).arg(n);
    return stamp;
}

} // namespace

Outcome restore(const QString& file, const RestoreTarget& target, Replaced* replaced) {
    try {
        const bool sqlite = target.serverDb == nullptr;
        if (!QDir().mkpath(target.folder))
            fail(QStringLiteral("the folder %1 cannot be made.").arg(target.folder));
        if (sqlite && !target.sqliteFile.isEmpty())
            requireRegularTarget(target.sqliteFile);
        const QString docs = target.folder + QStringLiteral("/DscDocs");
        const bool docsHeldFiles = folderHasFiles(docs);
        const bool full =
            (sqlite ? sqliteHoldsRows(target.sqliteFile) : serverHoldsRows(*target.serverDb)) || docsHeldFiles;
        if (full && !target.replace)
            fail(QStringLiteral("the register or its folder %1 is not empty; add --replace to replace them (they are "
                                "backed up first).")
                     .arg(target.folder));

        // Everything is unpacked and checked before anything of the register is touched.
        QTemporaryDir staging(target.folder + QStringLiteral("/.kytrestore-XXXXXX"));
        if (!staging.isValid())
            fail(QStringLiteral("a work folder cannot be made in %1.").arg(target.folder));
        QFile out;
        const Checked checked = readChecked(
            file,
            [&](const QString&, const char* data, qint64 size) {
                if (out.write(data, size) != size)
                    fail(QStringLiteral("%1 cannot be written: %2").arg(out.fileName(), out.errorString()));
            },
            [&](const QString& name) {
                out.close();
                if (name == kManifest)
                    return;
                const QString path = staging.filePath(name);
                QDir().mkpath(QFileInfo(path).absolutePath());
                out.setFileName(path);
                if (!out.open(QIODevice::WriteOnly))
                    fail(QStringLiteral("%1 cannot be written: %2").arg(path, out.errorString()));
            });
        if (!out.flush())
            fail(QStringLiteral("%1 cannot be written: %2").arg(out.fileName(), out.errorString()));
        out.close();
        const QString backend = checked.manifest.value(QStringLiteral("backend")).toString();
        if (backend != (sqlite ? QLatin1String("sqlite") : QLatin1String("mysql")))
            fail(sqlite ? QStringLiteral("%1 holds a server register: restore it with --db and the server's address.")
                              .arg(file)
                        : QStringLiteral("%1 holds an SQLite register: restore it without --db, or with --db "
                                         "sqlite:FILE.")
                              .arg(file));
        QStringList tables;
        for (const QString& name : checked.names)
            if (name.startsWith(kTables) && name.endsWith(QLatin1String(".sql")))
                tables << name.mid(kTables.size()).chopped(4);

        // The backup holds the documents its rows name; a folder that held files is also kept whole
        // beside it, so that files no record names (left behind, or put there by hand) are not lost.
        const QString stamp = full ? freshStamp(target.folder) : QString();
        const QString docsAside = docsHeldFiles
                                      ? target.folder + QStringLiteral("/DscDocs-before-restore-%1").arg(stamp)
                                      : staging.filePath(QStringLiteral("old"));
        if (full) {
            const QString saved = target.folder + QStringLiteral("/KYTDscMgr-before-restore-%1.tar").arg(stamp);
            Outcome before;
            if (sqlite) {
                QString why;
                std::shared_ptr<kyt::Db> db =
                    kyt::Db::open(kyt::DbAddress::sqliteFile(target.sqliteFile), &why, kyt::Db::Access::ReadOnly);
                if (!db)
                    fail(QStringLiteral("what is there could not be backed up first: %1").arg(why));
                before = write(*db, target.folder, saved, target.version);
            } else {
                before = write(*target.serverDb, target.folder, saved, target.version);
            }
            if (!before.ok)
                fail(QStringLiteral("what is there could not be backed up first, so nothing was restored: %1")
                         .arg(before.error));
            if (replaced)
                replaced->archive = saved;
        }

        // The documents are swapped first and the register last, in one step that can fail without
        // changing it; a failure at any step puts back what the steps before changed.
        const Move move = target.move ? target.move : Move(renamed);
        std::optional<ServerTables> server;
        if (!sqlite) {
            server.emplace(*target.serverDb, tables);
            server->fill(staging.path());
        }
        Steps steps(staging, docsHeldFiles ? docsAside : QString());
        swapDocuments(docs, docsAside, staging, move, steps);
        if (sqlite) {
            swapSqliteFile(staging.filePath(kSqlitePart), target.sqliteFile, move, steps);
        } else {
            try {
                server->swap();
            } catch (const Failure& f) {
                steps.failAndUndo(f.line);
            }
        }
        if (replaced && docsHeldFiles)
            replaced->documents = docsAside;
        return outcomeOf(checked.manifest);
    } catch (const Failure& f) {
        return {false, f.line};
    } catch (const kyt::Error& e) {
        return {false, e.record().description.simplified()};
    }
}

} // namespace backup
