#include "platform/Db.h"

#include "platform/Error.h"
#include "platform/SqliteTextComparison.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace kyt {

// --- RowSet ----------------------------------------------------------------------------------

RowSet::RowSet() = default;
RowSet::RowSet(RowSet&&) noexcept = default;
RowSet& RowSet::operator=(RowSet&&) noexcept = default;
RowSet::~RowSet() = default;

RowSet::RowSet(std::unique_ptr<QSqlQuery> query) : query_(std::move(query)) {
    fieldCount_ = query_->record().count();
    onRow_ = query_->next();
    empty_ = !onRow_;
}

void RowSet::next() {
    if (!query_ || !onRow_)
        raise(3021, QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."),
              QStringLiteral("KYTDscMgr.Db"));
    onRow_ = query_->next();
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
QString nextConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("kytdb-%1").arg(counter.fetchAndAddRelaxed(1));
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

std::shared_ptr<Db> Db::open(const DbAddress& address, QString* error) {
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
        if (file.isDir())
            return fail(QStringLiteral("it is a folder."));
        if (!QFileInfo(file.absolutePath()).isDir())
            return fail(QStringLiteral("the folder %1 does not exist.").arg(file.absolutePath()));
        conn.setDatabaseName(address.path);
    } else {
        conn.setHostName(address.host);
        conn.setUserName(address.user);
        conn.setPassword(address.password);
        conn.setDatabaseName(address.database);
        if (address.port)
            conn.setPort(address.port);
        QString options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=10");
        if (!address.socket.isEmpty())
            options += QStringLiteral(";UNIX_SOCKET=") + address.socket;
        conn.setConnectOptions(options);
    }
    if (!conn.open())
        return fail(conn.lastError().text().simplified());

    if (backend == Backend::SQLite) {
        // Touch the file now, so an unreadable or read-only file is reported here and not later.
        // Before any statement: a comparison cannot be replaced while statements are open.
        QString why;
        if (!sqlitetext::installComparison(conn, &why))
            return fail(why);
        QSqlQuery q(conn);
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.exec(QStringLiteral("PRAGMA schema_version")))
            return fail(q.lastError().text().simplified());
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

void Db::execute(const QString& sql) {
    if (backend_ == Backend::SQLite && isFlushTables(sql))
        return;
    QSqlQuery q(connection());
    if (!q.exec(sql))
        raiseFrom(q.lastError(), sql);
    // Text compares as on MariaDB only in columns declared for it.
    if (backend_ == Backend::SQLite)
        if (const QString table = sqlitetext::createdTable(sql); !table.isEmpty()) {
            q.finish();
            sqlitetext::adoptComparison(connection(), table);
        }
}

RowSet Db::openRowSet(const QString& sql) {
    auto q = std::make_unique<QSqlQuery>(connection());
    q->setForwardOnly(true);
    if (!q->exec(sql))
        raiseFrom(q->lastError(), sql);
    return RowSet(std::move(q));
}

} // namespace kyt
