// Counts the host window chart's bars (the expired, then each of the next twelve months) on a
// register of many certificates, a hundredth of them renewed (which the bars leave out), as the host
// window does at every refresh.
// Usage: bench_chart_counts [ROWS] [--mariadb]   (default 100000 rows on SQLite). The target:
// within 50 ms at 100,000 rows.

#include "BenchData.h"
#include "store/ExpiryMonths.h"
#include "store/Renewals.h"
#include "store/StoreStatements.h"

#include <algorithm>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = args.size() > 1 && args[1].toInt() > 0 ? args[1].toInt() : 100000;
    QTextStream out(stdout);
    QTemporaryDir dir;
    const bool mariadb = args.contains(QStringLiteral("--mariadb"));
    const QString server = dir.filePath(QStringLiteral("server"));
    if (mariadb && !bench::runMariaDbScript(QStringLiteral("start"), server))
        return 1;
    auto db = bench::openDb(mariadb ? QStringLiteral("mysql://root@localhost/mysql?socket=%1/sock").arg(server)
                                    : QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db")));
    if (mariadb) { // the throwaway server starts with its system databases only
        db->execute(QStringLiteral("Create Database bench"));
        db->execute(QStringLiteral("Use bench"));
    }
    bench::fill(*db, rows);
    for (const QString& index : StoreStatements::createIndexes()) // as the register window makes them
        db->execute(index);
    Renewals::ensureTable(*db, QStringLiteral("bench"));
    db->execute(
        QStringLiteral("Insert Into DscRenewals (OldSrNo, NewSrNo, OldSerialNo, NewSerialNo, LinkedAt, Desk) "
                       "Select SrNo, SrNo + 1, SerialNo, SerialNo, DtTo, 'bench' From DscStore Where SrNo % 100 = 0 "
                       "And Not Exists (Select 1 From DscRenewals Where OldSrNo=DscStore.SrNo)"));
    // The host window makes the valid-to index as it opens; that is timed apart.
    QElapsedTimer indexing;
    indexing.start();
    db->execute(ExpiryMonths::createIndex());
    const double indexMs = double(indexing.nsecsElapsed()) / 1e6;
    // The benchmark's certificates expire from 2022 on, two years after their start: "now" lies
    // among them, so that every bar counts some.
    const QDateTime now(QDate(2023, 6, 15), QTime(12, 0, 0));
    double best = 1e9, worst = 0;
    ExpiryMonths counts;
    for (int run = 0; run < 10; ++run) {
        QElapsedTimer timer;
        timer.start();
        counts = ExpiryMonths::count(*db, now);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        best = std::min(best, ms);
        worst = std::max(worst, ms);
    }
    out << "rows: " << rows << (mariadb ? " (MariaDB)" : " (SQLite)") << ", renewed: " << Renewals::links(*db).size()
        << '\n';
    out << "bars: " << counts.expired;
    for (int n : counts.months)
        out << ' ' << n;
    out << '\n';
    out << "making the valid-to index once: " << QString::number(indexMs, 'f', 1) << " ms\n";
    out << "counting: best " << QString::number(best, 'f', 1) << " ms, slowest of 10 " << QString::number(worst, 'f', 1)
        << " ms (target within 50 ms)\n";
    if (mariadb)
        bench::runMariaDbScript(QStringLiteral("stop"), server);
    return 0;
}
