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

const char* const kCollation = "NOCASE";

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
// for UTF-8, the file's encoding, so that SQLite prefers it to its own NOCASE. Plain ASCII, by
// far the most of a register, is compared in place; other text after conversion.
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

bool usesComparison(sqlite3* db, const TableShape& shape, const Column& column) {
    const char* collation = nullptr;
    const QByteArray table = shape.name.toUtf8();
    const QByteArray name = column.name.toUtf8();
    return sqlite3_table_column_metadata(db, nullptr, table.constData(), name.constData(), nullptr, &collation, nullptr,
                                         nullptr, nullptr) == SQLITE_OK &&
           collation && qstricmp(collation, kCollation) == 0;
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
            part += QStringLiteral(" COLLATE ") + QLatin1String(kCollation);
        parts << part;
        if (c.keyPosition > 0)
            key << quoted(c.name);
    }
    if (!key.isEmpty())
        parts << QStringLiteral("PRIMARY KEY (%1)").arg(key.join(QLatin1Char(',')));
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(newName), parts.join(QStringLiteral(", ")));
}

} // namespace

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
    if (adopted)
        return true;

    // The documented way to change a column's declaration: a new table, the rows copied, the old
    // one dropped and the new one renamed, with the old table's indexes and triggers made again.
    const QString rebuilt = QStringLiteral("kyt_rebuild_") + shape.name;
    QStringList steps = {QStringLiteral("BEGIN IMMEDIATE"), rebuiltDefinition(shape, rebuilt),
                         QStringLiteral("INSERT INTO %1 SELECT * FROM %2").arg(quoted(rebuilt), quoted(shape.name)),
                         QStringLiteral("DROP TABLE %1").arg(quoted(shape.name)),
                         QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quoted(rebuilt), quoted(shape.name))};
    steps += shape.dependents;
    steps << QStringLiteral("COMMIT");
    QSqlQuery q(connection);
    for (const QString& step : steps) {
        if (!q.exec(step)) {
            q.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
        q.finish();
    }
    return true;
}

} // namespace kyt::sqlitetext
