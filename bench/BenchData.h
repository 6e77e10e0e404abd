#pragma once

// A register of many made-up certificates for the benchmarks.

#include "platform/Db.h"
#include "platform/DbAddress.h"
#include "store/RecordLayout.h"
#include "store/StoreStatements.h"

#include <memory>
#include <QDateTime>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

namespace bench {

inline void fill(kyt::Db& db, int rows) {
    db.execute(StoreStatements::createTable());
    QSqlDatabase conn = db.connection();
    conn.transaction();
    QSqlQuery q(conn);
    q.prepare(QStringLiteral("Insert Into DscStore Values (") +
              QStringList(RecordLayout::kFieldCount, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')'));
    const QDateTime base(QDate(2020, 1, 1), QTime(9, 0, 0));
    for (int i = 1; i <= rows; ++i) {
        const QDateTime from = base.addSecs(qint64(i) * 977);
        // Every field, in table order.
        const QVariantList values = {i,
                                     QStringLiteral("Holder %1 of a practice").arg(i),
                                     QStringLiteral("Class %1 Individual").arg(2 + i % 2),
                                     QStringLiteral("%1").arg(qulonglong(i) * 2654435761ULL, 16, 16, QLatin1Char('0')),
                                     QStringLiteral("Issuing Authority %1").arg(i % 7),
                                     from.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                     from.addYears(2).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                     QStringLiteral("holder%1@example.org").arg(i),
                                     QStringLiteral("98%1").arg(10000000 + i),
                                     QStringLiteral("011-2%1").arg(100000 + i),
                                     QStringLiteral("PAN Card"),
                                     QStringLiteral("ABCDE%1F").arg(1000 + i % 9000),
                                     QStringLiteral("pan-%1.pdf").arg(i),
                                     QStringLiteral("Passport"),
                                     QStringLiteral("P%1").arg(1000000 + i),
                                     QStringLiteral("passport-%1.pdf").arg(i)};
        for (int c = 0; c < values.size(); ++c)
            q.bindValue(c, values[c]);
        q.exec();
    }
    conn.commit();
}

// The whole number after `name` on the command line, or `fallback`.
inline int intOption(const QStringList& args, const char* name, int fallback) {
    const qsizetype i = args.indexOf(QLatin1String(name));
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
}

// Opens the benchmark's register or stops the program with the reason.
inline std::shared_ptr<kyt::Db> openDb(const QString& address) {
    QString error;
    const auto parsed = kyt::DbAddress::parse(address, &error);
    auto db = parsed ? kyt::Db::open(*parsed, &error) : nullptr;
    if (!db)
        qFatal("%s", qPrintable(error));
    return db;
}

#ifdef KYT_TEST_MARIADB
// Starts or stops the throwaway MariaDB server the tests use, in `folder`.
inline bool runMariaDbScript(const QString& action, const QString& folder) {
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    script.start(QStringLiteral(KYT_TEST_MARIADB), {action, folder});
    return script.waitForFinished(180000) && script.exitCode() == 0;
}
#endif

} // namespace bench
