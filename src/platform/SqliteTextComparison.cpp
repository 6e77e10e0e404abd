#include "platform/SqliteTextComparison.h"

#include <algorithm>
#include <QByteArrayView>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace kyt::sqlitetext {

namespace {

// The register's comparison, under a name of its own: SQLite's NOCASE stays what every program
// knows it to be.
const char* const kCollation = "KYTTEXT";
// What earlier versions declared the text columns with (and redefined on their connections).
const char* const kEarlierCollation = "NOCASE";

sqlite3* handleOf(const QSqlDatabase& connection) {
    const QVariant handle = connection.driver() ? connection.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

QByteArrayView withoutTrailingBlanks(const void* text, int bytes) {
    QByteArrayView view(static_cast<const char*>(text), bytes);
    while (!view.isEmpty() && view.back() == ' ')
        view.chop(1);
    return view;
}

// As MariaDB's default collations compare: case folded, trailing blanks padded away. Registered
// for UTF-8, the file's encoding. Plain ASCII, by far the most of a register, is compared in
// place; other text after conversion.
int compareText(void*, int leftBytes, const void* leftText, int rightBytes, const void* rightText) {
    const QByteArrayView left = withoutTrailingBlanks(leftText, leftBytes);
    const QByteArrayView right = withoutTrailingBlanks(rightText, rightBytes);
    const qsizetype common = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i) {
        const auto a = uchar(left[i]), b = uchar(right[i]);
        if (a >= 0x80 || b >= 0x80)
            return QString::fromUtf8(left.sliced(i)).compare(QString::fromUtf8(right.sliced(i)), Qt::CaseInsensitive);
        const int la = a >= 'A' && a <= 'Z' ? a + 32 : a;
        const int lb = b >= 'A' && b <= 'Z' ? b + 32 : b;
        if (la != lb)
            return la - lb;
    }
    return int(left.size() > common) - int(right.size() > common);
}

bool hasTextAffinity(const QString& declaredType) {
    const QString t = declaredType.toUpper();
    return t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT"));
}

QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

struct Column {
    QString name, type, defaultValue;
    bool notNull = false;
    int keyPosition = 0;
};

struct TableShape {
    QString name; // as stored in the schema
    QList<Column> columns;
    QStringList dependents; // statements of the table's own indexes and triggers
};

TableShape shapeOf(const QSqlDatabase& connection, const QString& table) {
    TableShape shape;
    QSqlQuery q(connection);
    q.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE"));
    q.addBindValue(table);
    if (!q.exec() || !q.next())
        return shape;
    shape.name = q.value(0).toString();
    q.finish();
    if (q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(shape.name))))
        while (q.next())
            shape.columns.append({q.value(1).toString(), q.value(2).toString(),
                                  q.value(4).isNull() ? QString() : q.value(4).toString(), q.value(3).toBool(),
                                  q.value(5).toInt()});
    q.finish();
    q.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type IN ('index','trigger') AND tbl_name=? "
                             "AND sql IS NOT NULL"));
    q.addBindValue(shape.name);
    if (q.exec())
        while (q.next())
            shape.dependents << q.value(0).toString();
    return shape;
}

QString declaredComparison(sqlite3* db, const QString& table, const QString& column) {
    const char* collation = nullptr;
    const QByteArray tableName = table.toUtf8();
    const QByteArray name = column.toUtf8();
    if (sqlite3_table_column_metadata(db, nullptr, tableName.constData(), name.constData(), nullptr, &collation,
                                      nullptr, nullptr, nullptr) != SQLITE_OK ||
        !collation)
        return {};
    return QString::fromUtf8(collation);
}

// A column of the table's key is indexed by SQLite itself, an index that cannot be remade on a plain
// key: it keeps SQLite's own NOCASE, which every program orders alike. The others take the register's.
QLatin1String comparisonFor(const Column& column) {
    return QLatin1String(column.keyPosition > 0 ? kEarlierCollation : kCollation);
}

bool usesComparison(sqlite3* db, const TableShape& shape, const Column& column) {
    return declaredComparison(db, shape.name, column.name).compare(comparisonFor(column), Qt::CaseInsensitive) == 0;
}

// The plain key of a text column: the text without trailing blanks, A to Z made small, when it
// holds printable ASCII only; "*" for every other text. Texts the register's comparison finds
// equal have equal keys, or are both "*" (a text outside ASCII, such as a Kelvin sign, may equal
// an ASCII one: indexedMatch then looks among the "*" keys too). Only SQLite's own functions, so
// that every program computes and orders the index alike.
QString plainKey(const QString& column) {
    const QString c = quoted(column);
    return QStringLiteral("(CASE WHEN %1 GLOB '*[^ -~]*' THEN '*' ELSE lower(rtrim(%1,' ')) END)").arg(c);
}

bool isPrintableAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

QString sqlText(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) + QLatin1Char('\'');
}

// Runs the statements in one transaction (the caller's, when one is open); false, all undone,
// when one fails.
bool runTogether(const QSqlDatabase& connection, const QStringList& statements) {
    sqlite3* db = handleOf(connection);
    const bool own = db && sqlite3_get_autocommit(db) != 0;
    QSqlQuery q(connection);
    for (const QString& step : (own ? QStringList{QStringLiteral("BEGIN IMMEDIATE")} : QStringList()) + statements +
                                   (own ? QStringList{QStringLiteral("COMMIT")} : QStringList())) {
        if (!q.exec(step)) {
            if (own)
                q.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
        q.finish();
    }
    return true;
}

struct IndexKey {
    QString column; // empty for an expression
    QString comparison;
    bool descending = false;
};

// The statement that makes index `name` anew with its text keys plain; empty when the index
// keeps nothing in the register's comparison. A unique index keeps its texts exact instead, as
// plain keys would make different texts collide.
QString plainIndexStatement(const QSqlDatabase& connection, const QString& table, const QString& name, bool unique,
                            bool partial) {
    QList<IndexKey> keys;
    QSqlQuery q(connection);
    if (!q.exec(QStringLiteral("PRAGMA index_xinfo(%1)").arg(quoted(name))))
        return {};
    while (q.next())
        if (q.value(5).toBool())
            keys.append({q.value(1).toInt() >= 0 ? q.value(2).toString() : QString(), q.value(4).toString(),
                         q.value(3).toBool()});
    q.finish();
    const bool ours = std::any_of(keys.begin(), keys.end(), [](const IndexKey& k) {
        return k.comparison.compare(QLatin1String(kCollation), Qt::CaseInsensitive) == 0;
    });
    if (!ours)
        return {};
    QStringList parts;
    for (const IndexKey& k : keys) {
        if (k.column.isEmpty())
            return QStringLiteral("-"); // an expression cannot be told from here: the index goes
        const bool plain = k.comparison.compare(QLatin1String(kCollation), Qt::CaseInsensitive) == 0;
        QString part = plain && !unique ? plainKey(k.column) + QStringLiteral(" COLLATE BINARY")
                                        : quoted(k.column) + QStringLiteral(" COLLATE ") +
                                              (plain ? QStringLiteral("BINARY") : k.comparison);
        if (k.descending)
            part += QStringLiteral(" DESC");
        parts << part;
    }
    QString where;
    if (partial) {
        q.prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index' AND name=?"));
        q.addBindValue(name);
        static const QRegularExpression kWhere(QStringLiteral(R"(\)\s*where\s+(.*)$)"),
                                               QRegularExpression::CaseInsensitiveOption |
                                                   QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m =
            q.exec() && q.next() ? kWhere.match(q.value(0).toString()) : QRegularExpressionMatch();
        if (!m.hasMatch())
            return QStringLiteral("-");
        where = QStringLiteral(" WHERE ") + m.captured(1);
    }
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)%5")
        .arg(unique ? QStringLiteral("UNIQUE ") : QString(), quoted(name), quoted(table),
             parts.join(QStringLiteral(", ")), where);
}

QString rebuiltDefinition(const TableShape& shape, const QString& newName) {
    QStringList parts;
    QStringList key;
    for (const Column& c : shape.columns) {
        QString part = quoted(c.name);
        if (!c.type.isEmpty())
            part += QLatin1Char(' ') + c.type;
        if (c.notNull)
            part += QStringLiteral(" NOT NULL");
        if (!c.defaultValue.isNull())
            part += QStringLiteral(" DEFAULT ") + c.defaultValue;
        if (hasTextAffinity(c.type))
            part += QStringLiteral(" COLLATE ") + comparisonFor(c);
        parts << part;
        if (c.keyPosition > 0)
            key << quoted(c.name);
    }
    if (!key.isEmpty())
        parts << QStringLiteral("PRIMARY KEY (%1)").arg(key.join(QLatin1Char(',')));
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(newName), parts.join(QStringLiteral(", ")));
}

} // namespace

bool installComparison(sqlite3* db) {
    return db && sqlite3_create_collation_v2(db, kCollation, SQLITE_UTF8, nullptr, compareText, nullptr) == SQLITE_OK;
}

bool installComparison(const QSqlDatabase& connection, QString* error) {
    sqlite3* db = handleOf(connection);
    const int rc =
        db ? sqlite3_create_collation_v2(db, kCollation, SQLITE_UTF8, nullptr, compareText, nullptr) : SQLITE_MISUSE;
    if (rc != SQLITE_OK && error)
        *error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no SQLite connection handle.");
    return rc == SQLITE_OK;
}

QString createdTable(const QString& sql) {
    static const QRegularExpression create(
        QStringLiteral(R"(^\s*create\s+table\s+(?:if\s+not\s+exists\s+)?[`"\[]?([A-Za-z_][A-Za-z0-9_$]*))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = create.match(sql);
    return m.hasMatch() ? m.captured(1) : QString();
}

bool adoptComparison(const QSqlDatabase& connection, const QString& table) {
    sqlite3* db = handleOf(connection);
    const TableShape shape = db ? shapeOf(connection, table) : TableShape{};
    if (shape.columns.isEmpty())
        return false;
    const bool adopted = std::all_of(shape.columns.begin(), shape.columns.end(), [&](const Column& c) {
        return !hasTextAffinity(c.type) || usesComparison(db, shape, c);
    });
    if (!adopted) {
        // The documented way to change a column's declaration: a new table, the rows copied, the old
        // one dropped and the new one renamed, with the old table's indexes and triggers made again.
        const QString rebuilt = QStringLiteral("kyt_rebuild_") + shape.name;
        QStringList steps = {rebuiltDefinition(shape, rebuilt),
                             QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(quoted(rebuilt), quoted(shape.name)),
                             QStringLiteral("DROP TABLE %1").arg(quoted(shape.name)),
                             QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quoted(rebuilt), quoted(shape.name))};
        steps += shape.dependents;
        if (!runTogether(connection, steps))
            return false;
    }
    return adoptIndexes(connection, shape.name);
}

QString indexedTable(const QString& sql) {
    static const QRegularExpression create(
        QStringLiteral(R"(^\s*create\s+(?:unique\s+)?index\s.*?\bon\s+[`"\[]?([A-Za-z_][A-Za-z0-9_$]*))"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = create.match(sql);
    return m.hasMatch() ? m.captured(1) : QString();
}

bool adoptIndexes(const QSqlDatabase& connection, const QString& table) {
    struct Index {
        QString name;
        bool unique, partial;
    };
    QList<Index> indexes;
    QSqlQuery q(connection);
    if (!q.exec(QStringLiteral("PRAGMA index_list(%1)").arg(quoted(table))))
        return false;
    while (q.next())
        if (q.value(3).toString() == QLatin1String("c")) // made by a statement, not by a constraint
            indexes.append({q.value(1).toString(), q.value(2).toBool(), q.value(4).toBool()});
    q.finish();
    bool allPlain = true;
    for (const Index& index : indexes) {
        const QString remade = plainIndexStatement(connection, table, index.name, index.unique, index.partial);
        if (remade.isEmpty())
            continue;
        QStringList steps = {QStringLiteral("DROP INDEX %1").arg(quoted(index.name))};
        if (remade != QLatin1String("-"))
            steps << remade;
        allPlain = runTogether(connection, steps) && allPlain;
    }
    return allPlain;
}

void mendEarlierTables(const QSqlDatabase& connection) {
    sqlite3* db = handleOf(connection);
    if (!db)
        return;
    QStringList tables;
    QSqlQuery q(connection);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite\\_%' "
                               "ESCAPE '\\'")))
        return;
    while (q.next())
        tables << q.value(0).toString();
    q.finish();
    for (const QString& table : tables) {
        const TableShape shape = shapeOf(connection, table);
        bool earlier = false, ours = false;
        for (const Column& c : shape.columns) {
            const QString comparison = declaredComparison(db, shape.name, c.name);
            earlier |=
                c.keyPosition == 0 && comparison.compare(QLatin1String(kEarlierCollation), Qt::CaseInsensitive) == 0;
            ours |= comparison.compare(QLatin1String(kCollation), Qt::CaseInsensitive) == 0;
        }
        if (earlier)
            adoptComparison(connection, table);
        else if (ours)
            adoptIndexes(connection, table);
    }
}

QString indexedMatch(const QString& column, const QStringList& values) {
    QStringList keys = {QStringLiteral("'*'")};
    for (const QString& value : values) {
        qsizetype end = value.size();
        while (end > 0 && value[end - 1] == QLatin1Char(' '))
            --end;
        const QString folded = value.left(end).toCaseFolded();
        if (isPrintableAscii(folded))
            keys << sqlText(folded);
    }
    return QStringLiteral(" And %1 In (%2)").arg(plainKey(column), keys.join(QLatin1Char(',')));
}

} // namespace kyt::sqlitetext
