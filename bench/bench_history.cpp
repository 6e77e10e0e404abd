// What the history entry adds to a write:
//   1. 1,000 inserts as the import makes them (InsertNewRecord, entry included) into a register of
//      ROWS records, against the same steps without the entry (serial check, next number, insert,
//      commit under the allocation lock); three rounds each, alternately, the best counting.
//   2. The register window's save ("&Add New", the fields, "&Update", the list reloaded), timed
//      over SAVES saves; the entry's share of a save is the difference per insert from 1.
// Usage: bench_history [--rows 10000] [--saves 30] [--mysql ADDRESS]

#include "BenchData.h"
#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"
#include "store/RecordHistory.h"
#include "store/RecordNumbers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
constexpr int kInserts = 1000;

StoreStatements::RecordValues values(int round, int i) {
    return {QStringLiteral("Imported %1-%2").arg(round).arg(i),
            QStringLiteral("Class 3"),
            QStringLiteral("B%1-%2").arg(round).arg(i),
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

// The insert as it was before the history: the same steps under the same lock, no entry.
void insertWithoutEntry(kyt::Db& db, const StoreStatements::RecordValues& v) {
    kyt::Db::AllocationLock lock(db);
    kyt::RowSet rs =
        db.openRowSet(StoreStatements::selectBySerial(v[2]) + db.indexedTextMatch(QStringLiteral("SerialNo"), {v[2]}));
    const bool taken = !rs.isEmpty();
    rs.close();
    if (taken)
        return;
    db.execute(StoreStatements::insertRecord(NextRecordNumber(db), v));
    lock.commit();
}

double timeInserts(kyt::Db& db, int round, bool withEntry) {
    QElapsedTimer t;
    t.start();
    kyt::Db::WriteBatch batch(db);
    for (int i = 0; i < kInserts; ++i) {
        int n = 0;
        if (withEntry)
            InsertNewRecord(db, values(round, i), n);
        else
            insertWithoutEntry(db, values(round, i));
        db.execute(StoreStatements::flushTables());
    }
    return double(t.nsecsElapsed()) / 1e6;
}

void compareInserts(kyt::Db& db, const QString& label, QTextStream& out) {
    RecordHistory::ensureTable(db);
    double with = 1e18, without = 1e18;
    for (int round = 0; round < 3; ++round) {
        without = std::min(without, timeInserts(db, round * 2, false));
        with = std::min(with, timeInserts(db, round * 2 + 1, true));
    }
    out << QStringLiteral("%1: %2 inserts without the entry %3 ms, with it %4 ms: +%5% (target <= 15%)\n")
               .arg(label)
               .arg(kInserts)
               .arg(without, 0, 'f', 0)
               .arg(with, 0, 'f', 0)
               .arg((with / without - 1) * 100, 0, 'f', 1);
    out.flush();
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = bench::intOption(args, "--rows", 10000);
    const int saves = bench::intOption(args, "--saves", 30);
    QTextStream out(stdout);

    QTemporaryDir dir;
    auto db = bench::openDb(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db")));
    bench::fill(*db, rows);
    compareInserts(*db, QStringLiteral("SQLite"), out);
    if (const qsizetype i = args.indexOf(QStringLiteral("--mysql")); i >= 0 && i + 1 < args.size()) {
        auto server = bench::openDb(args[i + 1]);
        server->execute(QStringLiteral("Drop Table If Exists DscStore"));
        server->execute(QStringLiteral("Drop Table If Exists DscHistory"));
        bench::fill(*server, rows);
        compareInserts(*server, QStringLiteral("MariaDB"), out);
    }

    // The window's save, end to end, on the SQLite register.
    QElapsedTimer t;
    t.start();
    RecordHistory::ensureTable(*db);
    double entryCost = 0;
    for (int i = 0; i < saves; ++i) {
        const auto v = values(90, i);
        t.restart();
        insertWithoutEntry(*db, v);
        const double plain = double(t.nsecsElapsed()) / 1e6;
        auto w = values(91, i);
        t.restart();
        int n = 0;
        InsertNewRecord(*db, w, n);
        entryCost += double(t.nsecsElapsed()) / 1e6 - plain;
    }
    entryCost /= saves;

    auto cls = std::make_shared<ClsMain>();
    cls->DocPath = dir.path();
    cls->Db = db;
    cls->LogFlNm = QStringLiteral("bench.log");
    frmDscMain window;
    window.InitData(cls, false);
    window.show();
    QApplication::processEvents();
    t.restart();
    for (int i = 0; i < saves; ++i) {
        window.cmdadd->click();
        window.txtfields[0]->setText(QStringLiteral("Saved %1").arg(i));
        window.txtdts[0]->setText(QStringLiteral("01/04/2024 10:00:00"));
        window.txtdts[1]->setText(QStringLiteral("31/03/2030 10:00:00"));
        window.txtfields[2]->setText(QStringLiteral("W%1").arg(i));
        window.cmdupdate->click();
        QApplication::processEvents();
    }
    const double save = double(t.nsecsElapsed()) / 1e6 / saves;
    out << QStringLiteral("window save on %1 records: %2 ms a save; the entry's share %3 ms: %4% (target <= 15%)\n")
               .arg(rows)
               .arg(save, 0, 'f', 1)
               .arg(entryCost, 0, 'f', 2)
               .arg(entryCost / save * 100, 0, 'f', 1);
    return 0;
}
