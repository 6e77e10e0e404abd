#include "store/CertRows.h"

#include "component/Module1.h"
#include "platform/Error.h"
#include "store/StoreStatements.h"

#include <cstring>
#include <memory>
#include <QSqlDriver>
#include <sqlite3.h>

namespace {
using CertRows::kFields;
using CertRows::Utf8Fields;
using RecordLayout::isDate;

const char* name(int field) {
    return RecordLayout::name(RecordLayout::Field(field));
}

// A table without one of the columns is not the register, empty or not.
[[noreturn]] void missingColumn(int field) {
    kyt::raise(3265, QStringLiteral("Item cannot be found in the collection: %1").arg(QLatin1String(name(field))),
               QStringLiteral("KYTDscMgr.Db"));
}

sqlite3* sqliteHandle(kyt::Db& db) {
    if (db.backend() != kyt::Db::Backend::SQLite)
        return nullptr;
    const QSqlDatabase connection = db.connection();
    const QVariant handle = connection.driver() ? connection.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

[[noreturn]] void raiseSqlite(sqlite3* handle) {
    kyt::raise(kyt::errnum::Database, QString::fromUtf8(sqlite3_errmsg(handle)),
               QStringLiteral("KYTDscMgr.Db (QSQLITE)"));
}

// A date field as the list shows it, "DD/MM/YYYY HH:MM:SS", into `buffer`: the stored
// "YYYY-MM-DD HH:MM:SS" is reordered in place; anything else goes the way of every other reader.
QByteArrayView dateText(sqlite3_stmt* statement, int column, char (&buffer)[19], QByteArray& other) {
    const int type = sqlite3_column_type(statement, column);
    if (type == SQLITE_NULL)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const int bytes = sqlite3_column_bytes(statement, column);
    if (type == SQLITE_TEXT && bytes == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' &&
        std::memcmp(text, "0000-00-00", 10) != 0) {
        const char order[19] = {8, 9, '/', 5, 6, '/', 0, 1, 2, 3, ' ', 11, 12, 13, 14, 15, 16, 17, 18};
        for (int i = 0; i < 19; ++i)
            buffer[i] = order[i] == '/' || order[i] == ' ' ? order[i] : text[int(order[i])];
        return QByteArrayView(buffer, 19);
    }
    other = kyt::Db::formatDateValue(QVariant(QString::fromUtf8(text, bytes))).toUtf8();
    return other;
}

void readSqlite(sqlite3* handle, const QString& sql, const std::function<void(const Utf8Fields&)>& row) {
    sqlite3_stmt* prepared = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &prepared, nullptr) != SQLITE_OK)
        raiseSqlite(handle);
    const Statement statement(prepared);
    std::array<int, kFields> index{};
    index.fill(-1);
    for (int c = 0; c < sqlite3_column_count(prepared); ++c)
        for (int i = 0; i < kFields; ++i)
            if (index[size_t(i)] < 0 && qstricmp(sqlite3_column_name(prepared, c), name(i)) == 0)
                index[size_t(i)] = c;
    for (int i = 0; i < kFields; ++i)
        if (index[size_t(i)] < 0)
            missingColumn(i);
    Utf8Fields fields;
    // One buffer for each of the two dates, which lie side by side.
    static_assert(RecordLayout::DtTo == RecordLayout::DtFrom + 1);
    char dates[2][19];
    QByteArray otherDates[2];
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(prepared)) == SQLITE_ROW) {
        for (int i = 0; i < kFields; ++i) {
            const int c = index[size_t(i)];
            if (isDate(i)) {
                fields[size_t(i)] =
                    dateText(prepared, c, dates[i - RecordLayout::DtFrom], otherDates[i - RecordLayout::DtFrom]);
            } else {
                const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(prepared, c));
                fields[size_t(i)] = QByteArrayView(value, value ? sqlite3_column_bytes(prepared, c) : 0);
            }
        }
        row(fields);
    }
    if (step != SQLITE_DONE)
        raiseSqlite(handle);
}
// More days than lie between any two dates with four-digit years.
constexpr double kMaxDays = 3652059;

// Now plus a number of days, kept within the dates that have four-digit years: a day count beyond
// them lists every certificate (or none), under a heading that names the cut-off really used.
QDateTime expiryCutOff(const QDateTime& now, double days) {
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59));
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0, 0));
    if (!(days <= kMaxDays))
        return last;
    if (!(days >= -kMaxDays))
        return first;
    const QDateTime cutOff = now.addDays(qint64(days));
    return cutOff > last ? last : cutOff < first ? first : cutOff;
}
} // namespace

namespace CertRows {

Selection select(Filter filter, const QDateTime& now, double days) {
    switch (filter) {
    case Filter::All:
        return {QStringLiteral("List of All Certificates"), QString(), StoreStatements::selectAll()};
    case Filter::Expired: {
        const QString cutOff = FormatDisplayDate(now);
        return {QStringLiteral("List of Certificates Expired on or before ") + cutOff, cutOff,
                StoreStatements::selectExpiringBy(cutOff)};
    }
    case Filter::Expiring:
        break;
    }
    const QString cutOff = FormatDisplayDate(expiryCutOff(now, days));
    return {QStringLiteral("List of Certificates To be Expired on or before ") + cutOff, cutOff,
            StoreStatements::selectExpiringBy(cutOff)};
}

void read(kyt::Db& db, const QString& sql, const std::function<void(const Fields&)>& row) {
    Fields fields;
    readUtf8(db, sql, [&](const Utf8Fields& texts) {
        for (int i = 0; i < kFields; ++i)
            fields[size_t(i)] = QString::fromUtf8(texts[size_t(i)]);
        row(fields);
    });
}

void readUtf8(kyt::Db& db, const QString& sql, const std::function<void(const Utf8Fields&)>& row) {
    if (sqlite3* handle = sqliteHandle(db)) {
        readSqlite(handle, sql, row);
        return;
    }
    kyt::RowSet rs = db.openRowSet(sql);
    std::array<int, kFields> index{};
    for (int i = 0; i < kFields; ++i) {
        index[size_t(i)] = rs.indexOf(QLatin1String(name(i)));
        if (index[size_t(i)] < 0)
            missingColumn(i);
    }
    std::array<QByteArray, kFields> store;
    Utf8Fields fields;
    while (!rs.eof()) {
        for (int i = 0; i < kFields; ++i) {
            const int at = index[size_t(i)];
            store[size_t(i)] = (isDate(i) ? rs.dateText(at) : rs.text(at)).toUtf8();
            fields[size_t(i)] = store[size_t(i)];
        }
        row(fields);
        rs.next();
    }
    rs.close();
}

} // namespace CertRows
