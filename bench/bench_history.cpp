// What the history entry adds to a write, measured directly: bench_history_noentry is this program
// linked with an entry writer that writes nothing (NoHistoryEntry.cpp), and everything else the same.
// Each program, in a register of ROWS records:
//   1. 1,000 inserts as the import makes them (InsertNewRecord and "Flush Tables"),
//   2. SAVES saves of the register window ("&Add New", the fields, "&Update", the list reloaded).
// Run without --child, this program runs both, alternately ROUNDS times each, and compares the best
// time of each, which keeps a busy machine's pauses out of the ratio.
// Usage: bench_history [--rows 10000] [--saves 30] [--rounds 3] [--mysql ADDRESS] [--child]

#include "BenchData.h"
#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"
#include "store/RecordHistory.h"
#include "store/RecordNumbers.h"

#include <algorithm>
#include <QApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
constexpr int kInserts = 1000;

StoreStatements::RecordValues values(int i) {
    return {QStringLiteral("Imported %1").arg(i),
            QStringLiteral("Class 3"),
            QStringLiteral("B%1").arg(i),
            QStringLiteral("CA"),
            QStringLiteral("01/04/2024 10:00:00"),
            QStringLiteral("31/03/2030 10:00:00"),
            QStringLiteral("h%1@example.org").arg(i),
            {},
            {},
            {},
            {},
            {},
            {},
            {},
            {}};
}

double timeInserts(kyt::Db& db) {
    RecordHistory::ensureTable(db);
    QElapsedTimer t;
    t.start();
    kyt::Db::WriteBatch batch(db);
    for (int i = 0; i < kInserts; ++i) {
        int n = 0;
        InsertNewRecord(db, values(i), n);
        db.execute(StoreStatements::flushTables());
    }
    return double(t.nsecsElapsed()) / 1e6;
}

double timeWindowSaves(const std::shared_ptr<kyt::Db>& db, const QString& folder, int saves) {
    auto cls = std::make_shared<ClsMain>();
    cls->DocPath = folder;
    cls->Db = db;
    cls->LogFlNm = QStringLiteral("bench.log");
    frmDscMain window;
    window.InitData(cls, false);
    window.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < saves; ++i) {
        window.cmdadd->click();
        window.txtfields[0]->setText(QStringLiteral("Saved %1").arg(i));
        window.txtdts[0]->setText(QStringLiteral("01/04/2024 10:00:00"));
        window.txtdts[1]->setText(QStringLiteral("31/03/2030 10:00:00"));
        window.txtfields[2]->setText(QStringLiteral("W%1").arg(i));
        window.cmdupdate->click();
        QApplication::processEvents();
    }
    return double(t.nsecsElapsed()) / 1e6 / saves;
}

// One measurement, printed as "<what> <ms>" lines for the comparing run to read.
int child(const QStringList& args) {
    const int rows = bench::intOption(args, "--rows", 10000);
    QTextStream out(stdout);
    QTemporaryDir dir;
    auto db = bench::openDb(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db")));
    bench::fill(*db, rows);
    out << "sqlite-inserts " << timeInserts(*db) << '\n';
    if (const qsizetype i = args.indexOf(QStringLiteral("--mysql")); i >= 0 && i + 1 < args.size()) {
        auto server = bench::openDb(args[i + 1]);
        server->execute(QStringLiteral("Drop Table If Exists DscStore"));
        server->execute(QStringLiteral("Drop Table If Exists DscHistory"));
        bench::fill(*server, rows);
        out << "mariadb-inserts " << timeInserts(*server) << '\n';
    }
    out << "window-save " << timeWindowSaves(db, dir.path(), bench::intOption(args, "--saves", 30)) << '\n';
    return 0;
}

#ifdef KYT_BENCH_WITHOUT_ENTRY
using Times = QMap<QString, double>;

Times runChild(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args + QStringList{QStringLiteral("--child")});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        qFatal("%s failed", qPrintable(program));
    Times times;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (const QList<QByteArray> parts = line.split(' '); parts.size() == 2)
            times.insert(QString::fromLatin1(parts[0]), parts[1].toDouble());
    return times;
}

void keepBest(Times& best, const Times& times) {
    for (auto it = times.begin(); it != times.end(); ++it)
        best[it.key()] = best.contains(it.key()) ? std::min(best[it.key()], it.value()) : it.value();
}
#endif
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
#ifdef KYT_BENCH_WITHOUT_ENTRY
    if (args.contains(QStringLiteral("--child")))
        return child(args);
    Times with, without;
    for (int round = 0; round < bench::intOption(args, "--rounds", 3); ++round) {
        keepBest(without, runChild(QStringLiteral(KYT_BENCH_WITHOUT_ENTRY), args));
        keepBest(with, runChild(QCoreApplication::applicationFilePath(), args));
    }
    QTextStream out(stdout);
    const QString unit[] = {QStringLiteral("ms for %1 inserts").arg(kInserts), QStringLiteral("ms a save")};
    for (auto it = with.begin(); it != with.end(); ++it) {
        const double before = without.value(it.key());
        out << QStringLiteral("%1: without the entry %2 %4, with it %3 %4: %5% (target <= 15%)\n")
                   .arg(it.key())
                   .arg(before, 0, 'f', 1)
                   .arg(it.value(), 0, 'f', 1)
                   .arg(unit[it.key() == QStringLiteral("window-save") ? 1 : 0])
                   .arg((it.value() / before - 1) * 100, 0, 'f', 1);
    }
    return 0;
#else
    return child(args);
#endif
}
