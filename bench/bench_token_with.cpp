// The register's "Show All" reload with the list's "Token With" column against the same reload
// without it, on a register where every other token has moved (a third of them twice).
// Usage: bench_token_with [ROWS] [--runs N]   (default 100000 rows, 5 runs of each, alternating).
// Prints each run, the medians, their ratio (target: at most 1.1) and peak memory. Each reload is
// timed twice: by the wall clock, and by the processor time of the window's thread, which other
// programs busy on the same machine do not stretch.

#include "BenchData.h"
#include "component/ClsMain.h"
#include "custody/TokenCustody.h"
#include "register/frmDscMain.h"

#include <algorithm>
#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <sys/resource.h>
#include <time.h>

namespace {
double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double threadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Timing {
    double wall = 0, cpu = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Movements written straight into the table, in one transaction: the tokens of even records went
// out to a person, those of every sixth came back into a drawer.
int fillMovements(kyt::Db& db, int rows) {
    custody::ensureTable(db);
    QSqlDatabase conn = db.connection();
    conn.transaction();
    QSqlQuery q(conn);
    q.prepare(QStringLiteral("Insert Into DscCustody (SrNo, SerialNo, MovedAt, RecordedAt, FromName, FromPlace, "
                             "ToName, ToPlace, Host, Login, Note) Values (?, '', ?, ?, ?, ?, ?, ?, 'bench', 'bench', "
                             "'')"));
    int written = 0;
    auto move = [&](int n, const QString& at, const QString& fromName, const QString& fromPlace, const QString& toName,
                    const QString& toPlace) {
        for (const QVariant& v : QVariantList{n, at, at, fromName, fromPlace, toName, toPlace})
            q.addBindValue(v);
        q.exec();
        ++written;
    };
    for (int n = 2; n <= rows; n += 2) {
        const QString person = QStringLiteral("Clerk %1 of the practice").arg(n % 97);
        move(n, QStringLiteral("2026-11-01 10:00:00"), QString(), QString(), person, QString());
        if (n % 6 == 0)
            move(n, QStringLiteral("2026-11-20 10:00:00"), person, QString(), custody::kOffice,
                 QStringLiteral("Drawer %1").arg(n % 12));
    }
    conn.commit();
    return written;
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = args.size() > 1 && !args[1].startsWith(QLatin1String("--")) ? args[1].toInt() : 100000;
    const int runs = std::max(1, bench::intOption(args, "--runs", 5));
    QTextStream out(stdout);

    QTemporaryDir dir;
    auto db = bench::openDb(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db")));
    bench::fill(*db, rows);
    const int movements = fillMovements(*db, rows);
    out << "rows: " << rows << ", movements: " << movements << '\n';
    {
        QElapsedTimer timer;
        timer.start();
        const auto held = custody::currentOfAll(*db);
        out << QStringLiteral("reading the current custody of %1 records: %2 ms\n")
                   .arg(held.size())
                   .arg(double(timer.nsecsElapsed()) / 1e6, 0, 'f', 1);
    }

    auto cls = std::make_shared<ClsMain>();
    cls->DocPath = dir.path();
    cls->Db = db;
    cls->LogFlNm = QStringLiteral("bench.log");
    frmDscMain window;
    window.ClsObj = cls;
    window.show();
    QApplication::processEvents();

    // A reload as every save, delete and filter change does it, with the column shown or not.
    auto reload = [&](bool tokenWith) {
        window.chktokenwith->setChecked(tokenWith);
        frmDscMain::setTag(window.options[0], QStringLiteral("-1"));
        window.options[0]->setChecked(true);
        QElapsedTimer timer;
        timer.start();
        const double cpu = threadMilliseconds();
        window.options_Click(0);
        QApplication::processEvents();
        return Timing{double(timer.nsecsElapsed()) / 1e6, threadMilliseconds() - cpu};
    };
    reload(false); // the window's first load, not measured
    reload(true);
    std::vector<Timing> without, with;
    for (int run = 0; run < runs; ++run) {
        without.push_back(reload(false));
        with.push_back(reload(true));
        out << QStringLiteral("run %1: without %2 ms (%3 ms processor), with \"Token With\" %4 ms (%5 ms processor)\n")
                   .arg(run + 1)
                   .arg(without.back().wall, 0, 'f', 1)
                   .arg(without.back().cpu, 0, 'f', 1)
                   .arg(with.back().wall, 0, 'f', 1)
                   .arg(with.back().cpu, 0, 'f', 1);
    }
    // A reload after another desk has moved a token reads every record's custody anew.
    std::vector<Timing> afterMove;
    for (int run = 0; run < runs; ++run) {
        custody::Request handOver;
        handOver.srNo = 1 + 2 * run;
        handOver.name = QStringLiteral("Clerk 1");
        custody::record(*db, handOver);
        afterMove.push_back(reload(true));
    }
    const int listed = window.vs->Rows() - 1;
    const QString sample = window.vs->TextMatrix(2, CertListModel::kColumns);
    out << "grid rows: " << listed << ", row 2's token: " << sample << '\n';
    auto medianOf = [](const std::vector<Timing>& timings, double Timing::*part) {
        std::vector<double> values;
        for (const Timing& t : timings)
            values.push_back(t.*part);
        return median(values);
    };
    for (auto [part, name] : {std::pair{&Timing::wall, "wall clock"}, std::pair{&Timing::cpu, "processor time"}}) {
        const double plain = medianOf(without, part), shown = medianOf(with, part), moved = medianOf(afterMove, part);
        out << QStringLiteral("%1: median without %2 ms, with \"Token With\" %3 ms, ratio %4 (target 1.10); just "
                              "after a movement %5 ms, ratio %6\n")
                   .arg(QLatin1String(name))
                   .arg(plain, 0, 'f', 1)
                   .arg(shown, 0, 'f', 1)
                   .arg(shown / plain, 0, 'f', 3)
                   .arg(moved, 0, 'f', 1)
                   .arg(moved / plain, 0, 'f', 3);
    }
    out << QStringLiteral("peak memory: %1 MB\n").arg(peakMegabytes(), 0, 'f', 1);
    return listed == rows ? 0 : 1;
}
