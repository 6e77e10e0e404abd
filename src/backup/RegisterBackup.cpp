#include "backup/RegisterBackup.h"

#include "backup/ArchiveParts.h"
#include "platform/Db.h"
#include "platform/DbAddress.h"
#include "platform/ReplacingFile.h"
#include "platform/SqliteTextComparison.h"

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

// --- What the database holds at the moment of the copy ---------------------------------------

struct Snapshot {
    std::set<int> records;     // DscStore's record numbers
    QStringList keptDocuments; // folders under DscDocs of deletes not restored
    int history = 0;
};

bool safeKeptFolder(const QString& folder) {
    static const QRegularExpression shape(QStringLiteral("^\\.deleted/[^/\\\\]+$"));
    return shape.match(folder).hasMatch() && !folder.contains(QLatin1String(".."));
}

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

const char* const kOpenDeletes =
    "SELECT Documents FROM DscHistory d WHERE ChangeKind='delete' AND Documents<>'' AND NOT EXISTS "
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
            [&](sqlite3_stmt* st) { s.records.insert(sqlite3_column_int(st, 0)); });
    eachRow(copy.db, what, "SELECT COUNT(*) FROM DscHistory",
            [&](sqlite3_stmt* st) { s.history = sqlite3_column_int(st, 0); });
    eachRow(copy.db, what, kOpenDeletes, [&](sqlite3_stmt* st) {
        s.keptDocuments << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
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
        QSqlQuery r(db.connection());
        r.setForwardOnly(true);
        if (!r.exec(QStringLiteral("SELECT * FROM %1").arg(quotedName(name))))
            fail(QStringLiteral("the register cannot be read: %1").arg(r.lastError().text().simplified()));
        const QSqlRecord columns = r.record();
        QJsonArray heading;
        for (int c = 0; c < columns.count(); ++c)
            heading.append(columns.fieldName(c));
        rows.write(QJsonDocument(heading).toJson(QJsonDocument::Compact) + '\n');
        const bool store = name.compare(QLatin1String("DscStore"), Qt::CaseInsensitive) == 0;
        const bool history = name.compare(QLatin1String("DscHistory"), Qt::CaseInsensitive) == 0;
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
                s.records.insert(r.value(srNo).toInt());
            if (history) {
                ++s.history;
                if (r.value(kind).toString() == QLatin1String("delete") && !r.value(docs).toString().isEmpty())
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
            s.keptDocuments << documents;
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

QStringList filesIn(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    out.sort();
    return out;
}

// The folders of `kindFolder` named by a record of the copy, in number order. The folder is read
// once: a register has many records without documents, and looking for each one's folder would
// cost more than copying the documents.
QStringList recordFolders(const QString& kindFolder, const std::set<int>& records) {
    std::map<int, QString> found;
    for (const QString& name : QDir(kindFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const int n = name.toInt(&number);
        if (number && n > 0 && name == QString::number(n) && records.count(n))
            found.emplace(n, name);
    }
    QStringList out;
    for (const auto& [n, name] : found)
        out << name;
    return out;
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
            {QStringLiteral("counts"), QJsonObject{{QStringLiteral("records"), int(s.records.size())},
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

Outcome write(kyt::Db& db, const QString& docPath, const QString& file, const QString& version) {
    try {
        // The archive is written to a new file beside `file` and renamed into place when complete.
        kyt::ReplacingFile partial(file);
        if (!partial.open())
            fail(file + QLatin1Char(' ') + partial.why());
        const int fd = static_cast<QFile&>(partial.device()).handle();
        QTemporaryDir work(QFileInfo(file).absolutePath() + QStringLiteral("/.kytbackup-XXXXXX"));
        if (!work.isValid())
            fail(QStringLiteral("a work folder cannot be made beside %1.").arg(file));
        const bool sqlite = db.backend() == kyt::Db::Backend::SQLite;
        QStringList tables;
        const Snapshot snapshot =
            sqlite ? copySqlite(db, work.filePath(kSqlitePart)) : copyServer(db, work.path(), &tables);

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
        const QString docs = docPath + QStringLiteral("/DscDocs/");
        int documents = 0;
        auto addFolder = [&](const QString& relative) {
            for (const QString& path : filesIn(docs + relative)) {
                parts << archive.addFile(kDocs + path.mid(docs.size()), path);
                ++documents;
            }
        };
        for (const char* kind : {"IdProofs/", "AddrProofs/"})
            for (const QString& folder : recordFolders(docs + QLatin1String(kind), snapshot.records))
                addFolder(QLatin1String(kind) + folder);
        for (const QString& kept : snapshot.keptDocuments)
            if (safeKeptFolder(kept))
                addFolder(kept);
        archive.addBytes(kManifest,
                         QJsonDocument(manifestOf(sqlite ? QStringLiteral("sqlite") : QStringLiteral("mysql"), version,
                                                  snapshot, documents, parts))
                             .toJson(QJsonDocument::Indented));
        archive.close();
        if (!partial.commit())
            fail(file + QLatin1Char(' ') + partial.why());
        return {true, {}, int(snapshot.records.size()), documents};
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

qint64 sqliteRows(const QString& file) {
    if (!QFileInfo::exists(file))
        return 0;
    SqliteFile f;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &f.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail(QStringLiteral("the register %1 cannot be read.").arg(file));
    qint64 rows = 0;
    const QString what = QStringLiteral("the register %1").arg(file);
    eachRow(f.db, what, "SELECT COUNT(*) FROM sqlite_master", [](sqlite3_stmt*) {});
    eachRow(f.db, what, "SELECT (SELECT COUNT(*) FROM DscStore)",
            [&](sqlite3_stmt* st) { rows += sqlite3_column_int64(st, 0); });
    eachRow(f.db, what, "SELECT (SELECT COUNT(*) FROM DscHistory)",
            [&](sqlite3_stmt* st) { rows += sqlite3_column_int64(st, 0); });
    return rows;
}

qint64 serverRows(kyt::Db& db) {
    qint64 rows = 0;
    QSqlQuery q(db.connection());
    for (const char* table : {"DscStore", "DscHistory"}) {
        if (q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))) && q.next())
            rows += q.value(0).toLongLong();
        // A missing table is empty; a register that cannot be counted is never taken for empty.
        else if (q.lastError().nativeErrorCode() != QLatin1String("1146"))
            fail(QStringLiteral("the register cannot be read: %1").arg(q.lastError().text().simplified()));
    }
    return rows;
}

QVariant valueFrom(const QJsonValue& v) {
    if (v.isNull())
        return QVariant();
    if (v.isObject())
        return QByteArray::fromBase64(v[QStringLiteral("base64")].toString().toLatin1());
    return v.toString();
}

// Makes each table of the archive anew beside the live one, fills it, and swaps them all in one
// RENAME: the live tables stay as they were until that moment, and a failure before it leaves
// them untouched.
void restoreServerTables(kyt::Db& db, const QString& staging, const QStringList& tables) {
    QSqlQuery q(db.connection());
    auto run = [&](const QString& sql) {
        if (!q.exec(sql))
            fail(QStringLiteral("the register cannot be restored: %1").arg(q.lastError().text().simplified()));
    };
    const QString fresh = QStringLiteral("_kytrestore"), old = QStringLiteral("_kytold");
    auto dropAll = [&](const QString& suffix) {
        for (const QString& t : tables)
            q.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(quotedName(t + suffix)));
    };
    try {
        QSet<QString> existing;
        run(QStringLiteral("SHOW FULL TABLES WHERE Table_type='BASE TABLE'"));
        while (q.next())
            existing.insert(q.value(0).toString());
        dropAll(fresh);
        for (const QString& t : tables) {
            QFile create(staging + QStringLiteral("/tables/") + t + QStringLiteral(".sql"));
            if (!create.open(QIODevice::ReadOnly))
                fail(QStringLiteral("the archive lacks the table %1.").arg(t));
            QString sql = QString::fromUtf8(create.readAll());
            const int at = sql.indexOf(quotedName(t));
            if (at < 0)
                fail(QStringLiteral("the archive's table %1 cannot be made.").arg(t));
            sql.replace(at, quotedName(t).size(), quotedName(t + fresh));
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
            QSqlQuery insert(db.connection());
            if (!insert.prepare(
                    QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(quotedName(t + fresh), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
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
        QStringList renames;
        for (const QString& t : tables) {
            if (existing.contains(t))
                renames << QStringLiteral("%1 TO %2").arg(quotedName(t), quotedName(t + old));
            renames << QStringLiteral("%1 TO %2").arg(quotedName(t + fresh), quotedName(t));
        }
        dropAll(old);
        if (!renames.isEmpty())
            run(QStringLiteral("RENAME TABLE ") + renames.join(QStringLiteral(", ")));
    } catch (...) {
        q.exec(QStringLiteral("ROLLBACK"));
        dropAll(fresh);
        throw;
    }
    dropAll(old);
}

void replaceSqliteFile(const QString& staged, const QString& target) {
    // A log or shared-memory file of the register replaced would be read into the new one.
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        ::unlink(QFile::encodeName(target + QLatin1String(suffix)).constData());
    if (::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) == 0)
        return;
    // Another file system: copied beside the target first, so that the target changes in one step.
    const QString beside = target + QStringLiteral(".restoring");
    QFile::remove(beside);
    if (!QFile::copy(staged, beside) ||
        ::rename(QFile::encodeName(beside).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(beside);
        fail(QStringLiteral("the register cannot be written at %1.").arg(target));
    }
}

} // namespace

Outcome restore(const QString& file, const RestoreTarget& target, QString* savedAs) {
    try {
        const bool sqlite = target.serverDb == nullptr;
        if (!QDir().mkpath(target.folder))
            fail(QStringLiteral("the folder %1 cannot be made.").arg(target.folder));
        if (sqlite && !target.sqliteFile.isEmpty())
            requireRegularTarget(target.sqliteFile);
        const QString docs = target.folder + QStringLiteral("/DscDocs");
        const bool full =
            (sqlite ? sqliteRows(target.sqliteFile) : serverRows(*target.serverDb)) > 0 || folderHasFiles(docs);
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

        if (full) {
            const QString saved =
                target.folder + QStringLiteral("/KYTDscMgr-before-restore-%1.tar")
                                    .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
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
            if (savedAs)
                *savedAs = saved;
        }

        if (sqlite)
            replaceSqliteFile(staging.filePath(kSqlitePart), target.sqliteFile);
        else
            restoreServerTables(*target.serverDb, staging.path(), tables);
        // The document folder is swapped in two renames; the old one goes with the work folder.
        if (QFileInfo::exists(docs) &&
            ::rename(QFile::encodeName(docs).constData(),
                     QFile::encodeName(staging.filePath(QStringLiteral("old"))).constData()) != 0)
            fail(QStringLiteral("the folder %1 cannot be replaced.").arg(docs));
        if (QFileInfo::exists(staging.filePath(QStringLiteral("DscDocs"))) &&
            ::rename(QFile::encodeName(staging.filePath(QStringLiteral("DscDocs"))).constData(),
                     QFile::encodeName(docs).constData()) != 0)
            fail(QStringLiteral("the documents cannot be put into %1.").arg(docs));
        return outcomeOf(checked.manifest);
    } catch (const Failure& f) {
        return {false, f.line};
    } catch (const kyt::Error& e) {
        return {false, e.record().description.simplified()};
    }
}

} // namespace backup
