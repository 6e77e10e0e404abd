// Backup and restore of a large register, against the system's own tools on the same data:
//   backup:  `dscmgr backup`'s code (backup::write) vs `sqlite3 DB ".backup COPY"` + `tar cf` of DscDocs
//   restore: backup::restore into an empty folder vs copying the SQLite copy + `tar xf`
// Each is run three times, alternately, after a sync (untimed) so that none pays for the disk
// writes of the one before; the best time of each counts. The peak memory of the
// process during our backup and restore is reported beside the size of the data.
// Usage: bench_backup [--rows 100000] [--docs 2000] [--doc-kb 200]

#include "backup/RegisterBackup.h"
#include "BenchData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <unistd.h>

namespace {
// Writes out what earlier steps left in the page cache, untimed, so that a step does not pay for
// the disk writes of the one before it.
void settle() {
    ::sync();
}

double run(const QString& program, const QStringList& args, const QString& folder = {}) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return double(t.nsecsElapsed()) / 1e6;
}

// The process's peak resident memory in MB since the last reset.
double peakMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = bench::intOption(args, "--rows", 100000);
    const int docs = bench::intOption(args, "--docs", 2000);
    const int docKb = bench::intOption(args, "--doc-kb", 200);
    QTextStream out(stdout);

    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench-backup-XXXXXX"));
    const QString folder = dir.filePath(QStringLiteral("register"));
    QDir().mkpath(folder);
    const QString dbFile = folder + QStringLiteral("/KYTDscMgr.db");
    {
        auto db = bench::openDb(QStringLiteral("sqlite:") + dbFile);
        bench::fill(*db, rows);
    }
    QByteArray content(docKb * 1024, Qt::Uninitialized);
    for (int i = 1; i <= docs; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(content.data()), content.size() / 4);
        const QString path = folder + QStringLiteral("/DscDocs/IdProofs/%1/pan-%1.pdf").arg(i);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
    }
    out << QStringLiteral("register: %1 records, %2 documents of %3 KB (%4 MB)\n")
               .arg(rows)
               .arg(docs)
               .arg(docKb)
               .arg(qint64(docs) * docKb / 1024);
    out.flush();

    auto db = bench::openDb(QStringLiteral("sqlite:") + dbFile);
    const QString archive = dir.filePath(QStringLiteral("ours.tar"));
    double best = 1e18, bestBase = 1e18, bestRestore = 1e18, bestBaseRestore = 1e18, peakBackup = 0, peakRestore = 0;
    for (int round = 0; round < 3; ++round) {
        QFile::remove(dir.filePath(QStringLiteral("base.db")));
        settle();
        bestBase = std::min(
            bestBase,
            run(QStringLiteral("sqlite3"),
                {dbFile, QStringLiteral(".backup ") + dir.filePath(QStringLiteral("base.db"))}) +
                run(QStringLiteral("tar"),
                    {QStringLiteral("cf"), dir.filePath(QStringLiteral("base.tar")), QStringLiteral("DscDocs")},
                    folder));
        settle();
        resetPeak();
        QElapsedTimer t;
        t.start();
        const backup::Outcome written = backup::write(*db, folder, archive, QStringLiteral("bench"));
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
        peakBackup = std::max(peakBackup, peakMb());
        if (!written.ok)
            qFatal("backup failed: %s", qPrintable(written.error));

        const QString baseInto = dir.filePath(QStringLiteral("base-into-%1").arg(round));
        QDir().mkpath(baseInto);
        settle();
        bestBaseRestore = std::min(
            bestBaseRestore,
            run(QStringLiteral("cp"),
                {dir.filePath(QStringLiteral("base.db")), baseInto + QStringLiteral("/KYTDscMgr.db")}) +
                run(QStringLiteral("tar"), {QStringLiteral("xf"), dir.filePath(QStringLiteral("base.tar"))}, baseInto));
        backup::RestoreTarget target;
        target.folder = dir.filePath(QStringLiteral("ours-into-%1").arg(round));
        target.sqliteFile = target.folder + QStringLiteral("/KYTDscMgr.db");
        settle();
        resetPeak();
        t.restart();
        const backup::Outcome restored = backup::restore(archive, target);
        bestRestore = std::min(bestRestore, double(t.nsecsElapsed()) / 1e6);
        peakRestore = std::max(peakRestore, peakMb());
        if (!restored.ok)
            qFatal("restore failed: %s", qPrintable(restored.error));
        QDir(baseInto).removeRecursively();
        QDir(target.folder).removeRecursively();
    }
    out << QStringLiteral("backup:  %1 s; sqlite3 .backup + tar: %2 s; ratio %3 (target <= 1.5); peak memory %4 MB\n")
               .arg(best / 1000, 0, 'f', 2)
               .arg(bestBase / 1000, 0, 'f', 2)
               .arg(best / bestBase, 0, 'f', 2)
               .arg(peakBackup, 0, 'f', 0);
    out << QStringLiteral("restore: %1 s; cp + tar xf: %2 s; ratio %3 (target <= 1.5); peak memory %4 MB\n")
               .arg(bestRestore / 1000, 0, 'f', 2)
               .arg(bestBaseRestore / 1000, 0, 'f', 2)
               .arg(bestRestore / bestBaseRestore, 0, 'f', 2)
               .arg(peakRestore, 0, 'f', 0);
    return 0;
}
