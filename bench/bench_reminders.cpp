// Renewal reminders on a large register: a 100,000-row register with 3,000 certificates within the
// reminder steps. Measures the selection alone, a whole run against a mail server on 127.0.0.1
// (the tests' capturing server) and a second run that finds everything sent.
//   on SQLite, and with --mariadb also on a throwaway MariaDB server started by scripts/test-mariadb.
// Usage: bench_reminders [--rows N] [--due N] [--select-only] [--mariadb]
#include "BenchData.h"
#include "platform/Db.h"
#include "reminders/ReminderLedger.h"
#include "reminders/ReminderRun.h"
#include "reminders/ReminderSelection.h"

#include <algorithm>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// Every certificate far from expiring, then `due` of them spread over the next 30 days.
void makeDue(kyt::Db& db, int rows, int due, const QDateTime& now) {
    db.execute(QStringLiteral("Update DscStore Set DtTo='2099-01-01 00:00:00'"));
    QSqlDatabase conn = db.connection();
    conn.transaction();
    QSqlQuery q(conn);
    q.prepare(QStringLiteral("Update DscStore Set DtTo=? Where SrNo=?"));
    const int stride = rows / due;
    for (int i = 0; i < due; ++i) {
        q.bindValue(0, now.addDays(1 + i % 30).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        q.bindValue(1, 1 + i * stride);
        q.exec();
    }
    conn.commit();
}

double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

void measure(QTextStream& out, kyt::Db& db, int rows, int due, const QString& smtpUrl, bool send) {
    const QDateTime now = QDateTime::currentDateTime();
    bench::fill(db, rows);
    makeDue(db, rows, due, now);
    for (const QString& index : ReminderSelection::createIndexes())
        db.execute(index);
    const QList<int> steps = {30, 7, 1};

    double best = 1e300;
    int selected = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        selected = int(ReminderSelection::select(db, steps, now, {}).due.size());
        best = std::min(best, msSince(t));
    }
    out << QStringLiteral("  selection of %1 due among %2 rows: %3 ms (best of 5; target < 500 ms)\n")
               .arg(selected)
               .arg(rows)
               .arg(best, 0, 'f', 1);

    ReminderSettings settings = ReminderSettings::defaults();
    settings.smtpUrl = smtpUrl;
    settings.fromAddress = QStringLiteral("office@practice.test");
    settings.practice = QStringLiteral("Bench Practice");
    auto noPassword = [](QString*) -> std::optional<QString> { return QString(); };
    for (const char* label : {"first run (sends)", "second run (all sent)"}) {
        if (!send)
            break;
        QElapsedTimer t;
        t.start();
        const auto outcome = ReminderRun(db, settings, now).run({}, noPassword);
        const double ms = msSince(t);
        out << QStringLiteral("  %1: %2 in %3 s (%4 mails/s)%5\n")
                   .arg(QLatin1String(label), outcome.summaryLine())
                   .arg(ms / 1000, 0, 'f', 2)
                   .arg(outcome.sent ? outcome.sent / (ms / 1000) : 0, 0, 'f', 0)
                   .arg(outcome.stopped.isEmpty() ? QString() : QStringLiteral(" stopped: ") + outcome.stopped);
    }
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int rows = bench::intOption(args, "--rows", 100000);
    const int due = bench::intOption(args, "--due", 3000);
    const bool send = !args.contains(QStringLiteral("--select-only"));
    QTextStream out(stdout);
    QTemporaryDir work;

    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(KYT_SMTP_CAPTURE), work.path()});
    if (!server.waitForReadyRead(20000))
        qFatal("the mail server did not start");
    const QString url = QStringLiteral("smtp://127.0.0.1:%1")
                            .arg(QString::fromLatin1(server.readLine()).section(QLatin1Char(' '), 1).trimmed());

    out << "SQLite:\n";
    measure(out, *bench::openDb(QStringLiteral("sqlite:") + work.filePath(QStringLiteral("bench.db"))), rows, due, url,
            send);
    out.flush();
    if (args.contains(QStringLiteral("--mariadb"))) {
        const QString folder = work.filePath(QStringLiteral("mariadb"));
        if (!bench::runMariaDbScript(QStringLiteral("start"), folder)) {
            out << "MariaDB: the throwaway server did not start\n";
            return 1;
        }
        {
            auto db = bench::openDb(QStringLiteral("mysql://root@localhost/mysql?socket=%1/sock").arg(folder));
            db->execute(QStringLiteral("Create Database bench"));
            db->execute(QStringLiteral("Use bench"));
            out << "MariaDB:\n";
            measure(out, *db, rows, due, url, send);
        }
        bench::runMariaDbScript(QStringLiteral("stop"), folder);
    }
    server.kill();
    server.waitForFinished();
    return 0;
}
