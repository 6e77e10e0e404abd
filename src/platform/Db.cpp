#include "platform/Db.h"

#include "platform/Error.h"
#include "platform/RegularFile.h"
#include "platform/SqliteTextComparison.h"

#include <algorithm>
#include <QAtomicInt>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>
#include <QUrl>

namespace kyt {

// --- RowSet ----------------------------------------------------------------------------------

RowSet::RowSet() = default;
RowSet::RowSet(RowSet&&) noexcept = default;
RowSet& RowSet::operator=(RowSet&&) noexcept = default;
RowSet::~RowSet() = default;

RowSet::RowSet(std::unique_ptr<QSqlQuery> query) : query_(std::move(query)) {
    fieldCount_ = query_->record().count();
    fetch();
    empty_ = !onRow_;
}

void RowSet::next() {
    if (!query_ || !onRow_)
        raise(3021, QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."),
              QStringLiteral("KYTDscMgr.Db"));
    fetch();
}

// A row that cannot be fetched (a damaged file read part-way) is an error, not the end of the rows.
void RowSet::fetch() {
    onRow_ = query_->next();
    if (!onRow_ && query_->lastError().isValid())
        raise(errnum::Database,
              query_->lastError().text().simplified() + QStringLiteral(" [") + query_->lastQuery() + QLatin1Char(']'),
              QStringLiteral("KYTDscMgr.Db"));
}

void RowSet::close() {
    if (query_)
        query_->finish();
    query_.reset();
    onRow_ = false;
}

int RowSet::fieldCount() const {
    return query_ ? fieldCount_ : 0;
}

int RowSet::indexOf(const QString& name) const {
    if (!query_)
        return -1;
    const QString key = name.toLower();
    auto it = indexCache_.constFind(key);
    if (it != indexCache_.constEnd())
        return *it;
    const QSqlRecord rec = query_->record();
    int found = -1;
    for (int i = 0; i < rec.count(); ++i)
        if (rec.fieldName(i).compare(name, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    indexCache_.insert(key, found);
    return found;
}

int RowSet::requireIndex(const QString& name) const {
    const int i = indexOf(name);
    if (i < 0)
        raise(3265,
              QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                             "ordinal: %1")
                  .arg(name),
              QStringLiteral("KYTDscMgr.Db"));
    return i;
}

QVariant RowSet::value(int index) const {
    if (!query_ || !onRow_)
        raise(3021, QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."),
              QStringLiteral("KYTDscMgr.Db"));
    if (index < 0 || index >= fieldCount())
        raise(3265,
              QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                             "ordinal: %1")
                  .arg(index),
              QStringLiteral("KYTDscMgr.Db"));
    return query_->value(index);
}

QVariant RowSet::value(const QString& name) const {
    return value(requireIndex(name));
}

QString RowSet::text(int index) const {
    const QVariant v = value(index);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate)
        return Db::formatDateValue(v);
    return v.toString();
}

QString RowSet::dateText(int index) const {
    return Db::formatDateValue(value(index));
}

// --- Db --------------------------------------------------------------------------------------

namespace {
// SQLite's primary result codes; an extended code keeps its primary one in the low byte.
enum SqliteCode {
    kSqliteBusy = 5,
    kSqliteLocked = 6,
    kSqliteReadOnly = 8,
    kSqliteIoError = 10,
    kSqliteCorrupt = 11,
    kSqliteFull = 13,
    kSqliteNotADatabase = 26
};

QString nextConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("kytdb-%1").arg(counter.fetchAndAddRelaxed(1));
}

// Client errors meaning the connection is gone: the server went away or stopped answering in time,
// or the session was killed. Anything else is the statement's own fault and is not retried.
bool isConnectionLost(const QSqlDatabase& conn, const QSqlError& error) {
    if (!conn.isOpen())
        return true;
    const int code = error.nativeErrorCode().toInt();
    return code == 2006 || code == 2013 || code == 2055 || code == 1927;
}

// A statement to a server that stopped answering waits once for its reply and once for the
// reconnect; each wait gets half the address's timeout, so that the whole stays within it.
QString mysqlConnectOptions(const DbAddress& address) {
    const QString seconds = QString::number(std::max(1, address.timeoutSeconds / 2));
    QString options =
        QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1;MYSQL_OPT_READ_TIMEOUT=%1;MYSQL_OPT_WRITE_TIMEOUT=%1")
            .arg(seconds);
    if (!address.socket.isEmpty())
        options += QStringLiteral(";UNIX_SOCKET=") + address.socket;
    return options;
}

// A lost connection that may have cost only the reply: the server could have carried the
// statement out. (2006 and a closed connection mean the statement never left.)
bool mayHaveRun(const QSqlDatabase& conn, const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt();
    return conn.isOpen() && code != 2006;
}

// A statement that changes rows, which running twice would repeat.
bool changesRows(const QString& sql) {
    static const QRegularExpression kChange(QStringLiteral("^\\s*(insert|update|delete|replace)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    return kChange.match(sql).hasMatch();
}

// Touches the file, so that an unreadable or read-only file is reported at once and not later.
bool prepareSqliteConnection(const QSqlDatabase& conn, Db::Access access, QString* why) {
    // Before any statement: a comparison cannot be replaced while statements are open.
    if (!sqlitetext::installComparison(conn, why))
        return false;
    // Reading leaves the journal mode as the file has it.
    QSqlQuery q(conn);
    if ((access == Db::Access::ReadWrite && !q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) ||
        !q.exec(QStringLiteral("PRAGMA schema_version"))) {
        *why = q.lastError().text().simplified();
        return false;
    }
    return true;
}

// A table made without a character set takes the database's, which on some servers cannot hold
// names in other scripts; the register's tables always hold any text.
QString withUnicodeText(const QString& sql) {
    static const QRegularExpression kCreateTable(QStringLiteral("^\\s*create\\s+table\\b"),
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression kCharacterSet(QStringLiteral("\\b(character\\s+set|charset)\\b"),
                                                  QRegularExpression::CaseInsensitiveOption);
    if (!kCreateTable.match(sql).hasMatch() || kCharacterSet.match(sql).hasMatch())
        return sql;
    return sql + QStringLiteral(" Default Character Set utf8mb4");
}

bool isFlushTables(const QString& sql) {
    return sql.simplified().compare(QLatin1String("Flush Tables"), Qt::CaseInsensitive) == 0;
}

// "YYYY-MM-DD HH:MM:SS" (or with a T, or a date alone) -> "DD/MM/YYYY HH:MM:SS", by position: fast
// enough for a register of a hundred thousand rows.
QString reorderIsoText(const QString& s) {
    if (s.size() < 10 || s[4] != QLatin1Char('-') || s[7] != QLatin1Char('-'))
        return {};
    QString out(19, Qt::Uninitialized);
    QChar* d = out.data();
    const QChar* in = s.constData();
    d[0] = in[8], d[1] = in[9], d[2] = QLatin1Char('/');
    d[3] = in[5], d[4] = in[6], d[5] = QLatin1Char('/');
    d[6] = in[0], d[7] = in[1], d[8] = in[2], d[9] = in[3], d[10] = QLatin1Char(' ');
    if (s.size() >= 19) {
        std::copy(in + 11, in + 19, d + 11);
    } else {
        const char* midnight = "00:00:00";
        for (int i = 0; i < 8; ++i)
            d[11 + i] = QLatin1Char(midnight[i]);
    }
    return out;
}
} // namespace

QString Db::formatDateValue(const QVariant& value) {
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? dt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString();
    }
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 00:00:00") : QString();
    }
    default:
        break;
    }
    const QString s = value.toString();
    if (s.isEmpty() || s.startsWith(QLatin1String("0000-00-00")))
        return {};
    const QString reordered = reorderIsoText(s);
    return reordered.isEmpty() ? s : reordered;
}

QString Db::whyNotWritten(const ErrorRecord& error) {
    if (error.number == errnum::DatabaseUnreachable)
        return QStringLiteral("the database cannot be reached");
    if (error.number == errnum::RegisterBusy && !error.description.isEmpty())
        return error.description.left(1).toLower() + error.description.mid(1);
    if (error.source.contains(QLatin1String("QSQLITE"))) {
        switch (error.number & 0xff) {
        case kSqliteBusy:
        case kSqliteLocked:
            return QStringLiteral("the register is busy with another desk");
        case kSqliteReadOnly:
            return QStringLiteral("the register is read-only");
        case kSqliteIoError:
            return QStringLiteral("the register file cannot be written");
        case kSqliteCorrupt:
        case kSqliteNotADatabase:
            return QStringLiteral("the register file is damaged");
        case kSqliteFull:
            return QStringLiteral("the disk is full");
        default:
            break;
        }
    } else if (error.source.contains(QLatin1String("QMYSQL"))) {
        switch (error.number) {
        case 1036:
        case 1290:
        case 1792:
            return QStringLiteral("the register is read-only");
        case 1021:
        case 1114:
            return QStringLiteral("the disk is full");
        case 1205:
        case 1213:
            return QStringLiteral("the register is busy with another desk");
        case 1044:
        case 1142:
        case 1227:
            return QStringLiteral("the database user may not write to the register");
        case 1406:
            return QStringLiteral("a value is longer than its column");
        default:
            break;
        }
    }
    // The statement itself, at the end in brackets, says nothing to a user.
    QString text = error.description;
    if (const qsizetype bracket = text.lastIndexOf(QLatin1String(" [")); bracket > 0 && text.endsWith(QLatin1Char(']')))
        text.truncate(bracket);
    return QStringLiteral("it could not be stored (%1)").arg(text.simplified());
}

Db::Db(QString connectionName, Backend backend) : name_(std::move(connectionName)), backend_(backend) {
    driver_ = backend == Backend::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QMYSQL");
}

Db::~Db() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase Db::connection() const {
    return QSqlDatabase::database(name_, false);
}

std::shared_ptr<Db> Db::open(const DbAddress& address, QString* error, Access access) {
    const Backend backend = address.kind == DbAddress::Kind::SQLite ? Backend::SQLite : Backend::MySQL;
    std::shared_ptr<Db> db(new Db(nextConnectionName(), backend));
    auto fail = [&](const QString& why) -> std::shared_ptr<Db> {
        if (error)
            *error = QStringLiteral("Cannot open the database %1: %2").arg(address.display(), why);
        return nullptr;
    };
    if (!QSqlDatabase::isDriverAvailable(db->driver_))
        return fail(QStringLiteral("the %1 database driver is not installed.").arg(db->driver_));
    QSqlDatabase conn = QSqlDatabase::addDatabase(db->driver_, db->name_);
    if (backend == Backend::SQLite) {
        const QFileInfo file(address.path);
        // The register is opened only when it is a regular file (or absent, to be made): a named
        // pipe would block the open, and a device is no register.
        if (const QString why = whyNotRegularFile(address.path); !why.isEmpty() && !pathIsAbsent(address.path))
            return fail(QStringLiteral("it %1.").arg(why));
        if (!QFileInfo(file.absolutePath()).isDir())
            return fail(QStringLiteral("the folder %1 does not exist.").arg(file.absolutePath()));
        if (access == Access::ReadOnly && !file.exists())
            return fail(QStringLiteral("the file does not exist."));
        conn.setDatabaseName(address.path);
        if (access == Access::ReadOnly)
            conn.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    } else {
        conn.setHostName(address.host);
        conn.setUserName(address.user);
        conn.setPassword(address.password);
        conn.setDatabaseName(address.database);
        if (address.port)
            conn.setPort(address.port);
        conn.setConnectOptions(mysqlConnectOptions(address));
    }
    if (!conn.open())
        return fail(conn.lastError().text().simplified());
    db->timeoutSeconds_ = address.timeoutSeconds;

    if (backend == Backend::SQLite) {
        QString why;
        if (!prepareSqliteConnection(conn, access, &why)) {
            // A register kept in WAL mode, in a folder this user may not write to, cannot be read
            // the usual way: a reader makes a shared-memory file beside it. Nobody can be writing
            // to it either (a writer needs that folder too), so unless a log or journal still
            // waits to be merged into it, it is read as a file that does not change.
            const bool pending = QFileInfo(address.path + QStringLiteral("-wal")).size() > 0 ||
                                 QFileInfo(address.path + QStringLiteral("-journal")).size() > 0;
            if (access != Access::ReadOnly || pending)
                return fail(why);
            conn.close();
            conn.setDatabaseName(
                QUrl::fromLocalFile(QFileInfo(address.path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
                QStringLiteral("?immutable=1"));
            conn.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
            QString again;
            if (!conn.open() || !prepareSqliteConnection(conn, access, &again))
                return fail(why);
        }
    } else {
        QString why;
        if (!db->prepareMySqlSession(&why))
            return fail(why);
    }
    return db;
}

bool Db::prepareMySqlSession(QString* error) {
    QSqlQuery q(connection());
    if (!q.exec(QStringLiteral("SET NAMES utf8mb4")) || !q.exec(QStringLiteral("SELECT @@SESSION.sql_mode"))) {
        *error = q.lastError().text().simplified();
        return false;
    }
    QStringList modes = q.next() ? q.value(0).toString().split(QLatin1Char(','), Qt::SkipEmptyParts) : QStringList{};
    // Quote doubling alone must carry any text, backslashes included. Strict modes are dropped so
    // that an empty date or an over-long text is stored as the register has always stored them.
    for (const char* drop : {"STRICT_TRANS_TABLES", "STRICT_ALL_TABLES", "NO_ZERO_DATE", "NO_ZERO_IN_DATE",
                             "TRADITIONAL", "NO_BACKSLASH_ESCAPES"})
        modes.removeAll(QString::fromLatin1(drop));
    modes << QStringLiteral("NO_BACKSLASH_ESCAPES");
    if (!q.exec(QStringLiteral("SET SESSION sql_mode='%1'").arg(modes.join(QLatin1Char(','))))) {
        *error = q.lastError().text().simplified();
        return false;
    }
    if (q.exec(QStringLiteral("SELECT @@lower_case_table_names")) && q.next() && q.value(0).toInt() == 0)
        warning_ = QStringLiteral("The database server matches table names case-sensitively "
                                  "(lower_case_table_names=0); the type lists will fail. "
                                  "Start it with lower_case_table_names=1.");
    return true;
}

void Db::raiseFrom(const QSqlError& error, const QString& sql) const {
    bool ok = false;
    const int native = error.nativeErrorCode().toInt(&ok);
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("The statement failed");
    raise(ok && native != 0 ? native : errnum::Database, text + QStringLiteral(" [") + sql + QLatin1Char(']'),
          QStringLiteral("KYTDscMgr.Db (%1)").arg(driver_));
}

std::unique_ptr<QSqlQuery> Db::run(const QString& sql) {
    auto start = [&] {
        auto q = std::make_unique<QSqlQuery>(connection());
        q->setForwardOnly(true);
        return q;
    };
    const QString source = QStringLiteral("KYTDscMgr.Db (%1)").arg(driver_);
    // After a failed reconnect, the statements that follow in the same user action fail at once
    // instead of each waiting for the server again; the flag drops when the event loop next runs.
    if (!unreachable_->isEmpty())
        raise(errnum::DatabaseUnreachable, *unreachable_ + QStringLiteral(" [") + sql + QLatin1Char(']'), source);
    auto q = start();
    if (q->exec(sql))
        return q;
    if (backend_ != Backend::MySQL || !isConnectionLost(connection(), q->lastError()))
        raiseFrom(q->lastError(), sql);
    const bool repeatable = !changesRows(sql) || !mayHaveRun(connection(), q->lastError());
    QString why;
    if (reconnect(&why)) {
        // Running a change again could store it twice; the caller is told that it may be lost.
        if (!repeatable)
            raise(errnum::DatabaseUnreachable,
                  QStringLiteral("The connection to the database was lost while the statement ran; it may not have "
                                 "been carried out. [") +
                      sql + QLatin1Char(']'),
                  source);
        // The locks went with the old session: what they guard must start again from taking them.
        if (sessionLocks_ > 0)
            raise(errnum::DatabaseUnreachable,
                  QStringLiteral("The connection to the database was lost while record numbers were being "
                                 "allocated. [") +
                      sql + QLatin1Char(']'),
                  source);
        q = start();
        if (q->exec(sql))
            return q;
        if (!isConnectionLost(connection(), q->lastError()))
            raiseFrom(q->lastError(), sql);
        why = q->lastError().text().simplified();
    }
    *unreachable_ = QStringLiteral("The database cannot be reached: ") + why;
    if (QCoreApplication::instance())
        QTimer::singleShot(0, QCoreApplication::instance(), [flag = unreachable_] { flag->clear(); });
    raise(errnum::DatabaseUnreachable, *unreachable_ + QStringLiteral(" [") + sql + QLatin1Char(']'), source);
}

bool Db::reconnect(QString* error) {
    QSqlDatabase conn = connection();
    conn.close();
    if (!conn.open()) {
        *error = conn.lastError().text().simplified();
        conn.close();
        return false;
    }
    return prepareMySqlSession(error);
}

void Db::execute(const QString& sql) {
    if (backend_ == Backend::SQLite && isFlushTables(sql))
        return;
    const std::unique_ptr<QSqlQuery> q = run(backend_ == Backend::MySQL ? withUnicodeText(sql) : sql);
    // Text compares as on MariaDB only in columns declared for it.
    if (backend_ == Backend::SQLite)
        if (const QString table = sqlitetext::createdTable(sql); !table.isEmpty()) {
            q->finish();
            sqlitetext::adoptComparison(connection(), table);
        }
}

RowSet Db::openRowSet(const QString& sql) {
    return RowSet(run(sql));
}

// --- Db::AllocationLock ----------------------------------------------------------------------

namespace {
// The lock's name on the server, one per database; waited for at most the connection's timeout.
const QString kAllocationLockName = QStringLiteral("CONCAT('KYTDscMgr.SrNo.',DATABASE())");
} // namespace

Db::AllocationLock::AllocationLock(Db& db) : db_(db) {
    const QString source = QStringLiteral("KYTDscMgr.Db (%1)").arg(db_.driver_);
    if (db_.backend_ == Backend::SQLite) {
        // Takes the file's write lock now, waiting as long as the connection's busy timeout allows.
        try {
            db_.execute(QStringLiteral("BEGIN IMMEDIATE"));
        } catch (const Error& e) {
            const int code = e.record().number & 0xff;
            if (code == kSqliteBusy || code == kSqliteLocked)
                raise(errnum::RegisterBusy, QStringLiteral("The register is locked by another desk"), source);
            throw;
        }
        return;
    }
    // A statement waits for its reply at most half the address's timeout; the wait for the lock
    // ends before that, so that a busy lock is not taken for a server that stopped answering.
    const int wait = std::max(0, std::max(1, db_.timeoutSeconds_ / 2) - 1);
    RowSet rs = db_.openRowSet(QStringLiteral("SELECT GET_LOCK(%1,%2)").arg(kAllocationLockName).arg(wait));
    if (rs.eof() || rs.value(0).toInt() != 1)
        raise(errnum::RegisterBusy, QStringLiteral("Record numbers are being allocated elsewhere"), source);
    ++db_.sessionLocks_;
}

void Db::AllocationLock::commit() {
    if (!held_)
        return;
    if (db_.backend_ == Backend::SQLite) {
        QSqlQuery q(db_.connection());
        if (!q.exec(QStringLiteral("COMMIT"))) {
            const QSqlError error = q.lastError();
            release();
            db_.raiseFrom(error, QStringLiteral("COMMIT"));
        }
    }
    // On the server every statement has committed as it ran.
    release();
}

void Db::AllocationLock::release() noexcept {
    if (!held_)
        return;
    held_ = false;
    if (db_.backend_ == Backend::MySQL)
        --db_.sessionLocks_;
    // A lost connection has released the lock already; nothing is left to do then.
    if (!db_.connection().isOpen())
        return;
    QSqlQuery q(db_.connection());
    if (db_.backend_ == Backend::SQLite)
        q.exec(QStringLiteral("ROLLBACK")); // after a commit there is nothing left to roll back
    else
        q.exec(QStringLiteral("SELECT RELEASE_LOCK(%1)").arg(kAllocationLockName));
}

Db::AllocationLock::~AllocationLock() {
    release();
}

// --- Db::WriteBatch --------------------------------------------------------------------------

// Best effort both ways: a pragma that fails leaves the connection syncing as before, which is
// only slower.
Db::WriteBatch::WriteBatch(Db& db) : db_(db) {
    if (db_.backend_ != Backend::SQLite)
        return;
    QSqlQuery q(db_.connection());
    // Without WAL a commit that skips its sync could leave a damaged file after a power cut.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode")) || !q.next() ||
        q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return;
    if (!q.exec(QStringLiteral("PRAGMA synchronous")) || !q.next())
        return;
    const QString previous = q.value(0).toString();
    if (q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        previousSync_ = previous;
}

Db::WriteBatch::~WriteBatch() {
    if (previousSync_.isEmpty())
        return;
    QSqlQuery q(db_.connection());
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    q.exec(QStringLiteral("PRAGMA synchronous=%1").arg(previousSync_.toInt()));
}

} // namespace kyt
