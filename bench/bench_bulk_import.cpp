// The bulk import wizard's two long runs, measured:
//   1. Reading FILES .pfx files (made here, one common password) through "&Proceed", against a
//      plain loop of the component's own reading (GetSignInfo and the eight details) over the
//      same files. Each is run three times, alternately; the best time of each counts, which
//      keeps a busy machine's pauses out of the ratio.
//   2. "&Import" of 1,000 read rows into a register already holding ROWS records, on SQLite and,
//      with --mariadb, on a throwaway MariaDB server started by scripts/test-mariadb.
//   3. The same import where each row renews an older certificate of the register (with its two
//      proof documents), without and with "Carry over details of renewed certificates": carrying
//      over adds at most 10%. Every run's folder is kept until the end: an ext4 file system made
//      without a journal passes over inodes freed in the last minutes when it gives out new ones,
//      so removing one run's thousands of documents would slow the next run's copies. Runs a few
//      minutes apart on such a disk, or on a journaled one (TMPDIR names where the work goes).
// Usage: bench_bulk_import [--files N] [--rows N] [--mariadb]

#include "BenchData.h"
#include "bulk/frmbulkdsc.h"
#include "CertificateFactory.h"
#include "component/ClsMain.h"
#include "component/Module1.h"
#include "platform/LibraryRegistration.h"
#include "store/BulkImporter.h"
#include "store/BulkReader.h"
#include "store/StoreStatements.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <unistd.h>

namespace {
constexpr int kImportedRows = 1000;
constexpr int kReadFile = -2;

struct Bench {
    QTemporaryDir dir;
    std::shared_ptr<kyt::ScriptedDialogs> dialogs = std::make_shared<kyt::ScriptedDialogs>();
    std::shared_ptr<ClsMain> cls;

    explicit Bench(const std::shared_ptr<kyt::Db>& db) {
        kyt::Services services = kyt::Services::production();
        services.dialogs = dialogs;
        services.objects = std::make_shared<kyt::ObjectRegistry>(dir.filePath(QStringLiteral("objects.ini")));
        QString error;
        if (!kyt::registerLibrary(*services.objects, QStringLiteral(KYT_CERTINFO_PLUGIN), &error))
            qFatal("cannot register the certificate component: %s", qPrintable(error));
        cls = std::make_shared<ClsMain>(std::move(services));
        cls->DocPath = dir.path();
        cls->Db = db;
        cls->LogFlNm = QStringLiteral("bench.log");
    }
};

void reportImport(QTextStream& out, double ms, int rows, int targetSeconds) {
    out << QStringLiteral("  importing %1 rows into %2: %3 s (target <= %4 s)\n")
               .arg(kImportedRows)
               .arg(rows)
               .arg(ms / 1000, 0, 'f', 2)
               .arg(targetSeconds);
}

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

QString makeBundles(const QString& folder, int count) {
    using namespace kyt::test;
    QDir().mkpath(folder);
    const kyt::certinfo::CryptoContext crypto;
    const KeyAndCertificate ca = makeAuthority(QStringLiteral("Bench CA"));
    for (int i = 1; i <= count; ++i) {
        CertificateRecipe recipe;
        recipe.subject = {commonName(QStringLiteral("Director %1").arg(i)), unit(QStringLiteral("Class 3 Individual")),
                          email(QStringLiteral("director%1@client.example").arg(i))};
        recipe.serial = QByteArray::number(0x100000 + i, 16);
        recipe.serial = QByteArray::fromHex(recipe.serial);
        writeFile(folder, QStringLiteral("director%1.pfx").arg(i, 4, 10, QLatin1Char('0')),
                  pkcs12Of(makeCertificate(recipe, &ca), {.password = "common"}, crypto));
    }
    return folder;
}

// The plain loop: the component's reading and its eight details, nothing else.
double plainLoop(ClsMain& cls, const QStringList& files) {
    QElapsedTimer timer;
    timer.start();
    qsizetype chars = 0;
    for (const QString& file : files) {
        cls.GetSignInfo(file, QStringLiteral("common"), kReadFile);
        for (short k = 0; k < 8; ++k)
            chars += cls.GetCertInfo(k).size();
    }
    const double ms = msSince(timer);
    if (chars == 0)
        qFatal("the plain loop read nothing");
    return ms;
}

// "&Proceed" on a file list of the folder's files with the common password.
double throughProceed(Bench& bench, const QString& folder, int expected) {
    frmbulkdsc wizard;
    wizard.InitData(bench.cls);
    wizard.show();
    bench.dialogs->queue(folder);
    wizard.cmdfld->click();
    wizard.chkcompass->setChecked(true);
    wizard.txtcompass->setText(QStringLiteral("common"));
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    wizard.cmdproceed->click();
    const double ms = msSince(timer);
    int read = 0;
    for (int row = 1; row < wizard.vs2->Rows(); ++row)
        read += wizard.vs2->TextMatrix(row, bulk::kStatusColumn).isEmpty() ? 1 : 0;
    if (read != expected)
        qFatal("Proceed read %d of %d certificates", read, expected);
    return ms;
}

// An older certificate of each holder the import brings, numbered after `rows`, with its proof
// documents.
void addOlderCertificates(Bench& bench, int rows) {
    QSqlDatabase conn = bench.cls->Db->connection();
    conn.transaction();
    QSqlQuery q(conn);
    q.prepare(QStringLiteral("Insert Into DscStore Values (") +
              QStringList(RecordLayout::kFieldCount, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')'));
    const QByteArray document(20000, 'd');
    for (int i = 1; i <= kImportedRows; ++i) {
        const int n = rows + i;
        const QVariantList values = {n,
                                     QStringLiteral("Director %1").arg(i),
                                     QStringLiteral("Class 3 Individual"),
                                     QStringLiteral("A%1").arg(900000 + i),
                                     QStringLiteral("Bench CA"),
                                     QStringLiteral("2024-12-05 10:00:00"),
                                     QStringLiteral("2026-12-04 10:00:00"),
                                     QStringLiteral("director%1@client.example").arg(i),
                                     QStringLiteral("98%1").arg(10000000 + i),
                                     QStringLiteral("011-2%1").arg(100000 + i),
                                     QStringLiteral("PAN Card"),
                                     QStringLiteral("ABCDE%1F").arg(1000 + i),
                                     QStringLiteral("pan.pdf"),
                                     QStringLiteral("Passport"),
                                     QStringLiteral("P%1").arg(1000000 + i),
                                     QStringLiteral("passport.pdf")};
        for (int c = 0; c < values.size(); ++c)
            q.bindValue(c, values[c]);
        q.exec();
        for (const QString& kind :
             {QStringLiteral("IdProofs/%1/pan.pdf"), QStringLiteral("AddrProofs/%1/passport.pdf")}) {
            const QString path = bench.dir.filePath(QStringLiteral("DscDocs/") + kind.arg(n));
            QDir().mkpath(QFileInfo(path).path());
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write(document);
        }
    }
    conn.commit();
}

// "&Import" of 1,000 read rows; the register holds `rows` records already, and with `older` an
// older certificate of each holder imported, whose details are carried over when `carryOver`.
double importRows(Bench& bench, int rows, QTextStream& out, bool older = false, bool carryOver = false) {
    kyt::Db& db = *bench.cls->Db;
    QElapsedTimer timer;
    timer.start();
    bench::fill(db, rows);
    if (older)
        addOlderCertificates(bench, rows);
    for (const QString& index : StoreStatements::createIndexes())
        db.execute(index);
    out << QStringLiteral("  filling %1 records: %2 s\n").arg(rows).arg(msSince(timer) / 1000, 0, 'f', 1);
    // The register and its documents made above reach the disk now, untimed: a clerk's register was
    // written long before the import, which should not pay for writing it out.
    ::sync();

    frmbulkdsc wizard;
    wizard.InitData(bench.cls);
    wizard.show();
    for (int i = 1; i <= kImportedRows; ++i) {
        const int row = wizard.vs2->addRow();
        const QStringList cells = {QString::number(row),
                                   QStringLiteral("director%1").arg(i),
                                   QStringLiteral("Director %1").arg(i),
                                   QStringLiteral("Class 3 Individual"),
                                   QStringLiteral("B%1").arg(900000 + i),
                                   QStringLiteral("Bench CA"),
                                   QStringLiteral("05/12/2026 10:00:00"),
                                   QStringLiteral("04/12/2028 10:00:00"),
                                   QStringLiteral("director%1@client.example").arg(i),
                                   QString()};
        for (int c = 0; c < cells.size(); ++c)
            wizard.vs2->setTextMatrix(row, c, cells[c]);
    }
    // The type of each row read from its certificate, as the results page offers after reading:
    // an empty type would match no older certificate of the holder.
    if (wizard.cbodsctype->findText(bulk::kAutoType) < 0)
        wizard.cbodsctype->insertItem(0, bulk::kAutoType);
    wizard.cbodsctype->setCurrentIndex(wizard.cbodsctype->findText(bulk::kAutoType));
    wizard.chkcarryover->setChecked(carryOver);
    QApplication::processEvents();
    timer.restart();
    wizard.cmdconvert->click();
    const double ms = msSince(timer);
    const QString summary = bench.dialogs->messages().value(bench.dialogs->messages().size() - 1);
    if (summary != QStringLiteral("%1 Records Transferred.").arg(kImportedRows))
        qFatal("the import said: %s", qPrintable(summary));
    if (carryOver && !QFileInfo::exists(bench.dir.filePath(
                         QStringLiteral("DscDocs/IdProofs/%1/pan.pdf").arg(rows + 2 * kImportedRows))))
        qFatal("the last row's documents were not carried over; the wizard said: %s",
               qPrintable(bench.dialogs->messages().join(QLatin1Char('|')).left(2000)));
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int files = bench::intOption(args, "--files", 1000);
    const int rows = bench::intOption(args, "--rows", 100000);
    QTextStream out(stdout);
    QTemporaryDir work;

    // 1. Reading.
    {
        Bench bench(bench::openDb(QStringLiteral("sqlite:") + work.filePath(QStringLiteral("read.db"))));
        bench.cls->Db->execute(StoreStatements::createTable());
        QElapsedTimer timer;
        timer.start();
        const QString folder = makeBundles(work.filePath(QStringLiteral("bundles")), files);
        out << QStringLiteral("made %1 .pfx files in %2 s\n").arg(files).arg(msSince(timer) / 1000, 0, 'f', 1);
        CreateCertObject(*bench.cls);
        const QStringList paths = [&] {
            QStringList p;
            for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name))
                p << folder + QLatin1Char('/') + name;
            return p;
        }();
        double plain = 1e300, proceed = 1e300;
        for (int round = 0; round < 3; ++round) {
            plain = std::min(plain, plainLoop(*bench.cls, paths));
            proceed = std::min(proceed, throughProceed(bench, folder, files));
        }
        out << QStringLiteral("reading %1 files: plain loop %2 ms, Proceed %3 ms, ratio %4 (target <= 1.30)\n")
                   .arg(files)
                   .arg(plain, 0, 'f', 0)
                   .arg(proceed, 0, 'f', 0)
                   .arg(proceed / plain, 0, 'f', 3);
    }

    // 2. Importing.
    {
        Bench bench(bench::openDb(QStringLiteral("sqlite:") + work.filePath(QStringLiteral("import.db"))));
        out << "SQLite:\n";
        reportImport(out, importRows(bench, rows, out), rows, 2);
    }
    // 3. Carrying over, on SQLite: the best of five runs each, alternately.
    {
        double plain = 1e300, carried = 1e300;
        std::vector<std::unique_ptr<Bench>> kept;
        for (int round = 0; round < 5; ++round)
            for (const bool carry : {false, true}) {
                kept.push_back(std::make_unique<Bench>(
                    bench::openDb(QStringLiteral("sqlite:") +
                                  work.filePath(QStringLiteral("renewals%1%2.db").arg(round).arg(carry)))));
                const double ms = importRows(*kept.back(), rows, out, true, carry);
                (carry ? carried : plain) = std::min(carry ? carried : plain, ms);
            }
        out << QStringLiteral("importing %1 renewals: %2 s, carrying their details over: %3 s, +%4% (target <= "
                              "10%)\n")
                   .arg(kImportedRows)
                   .arg(plain / 1000, 0, 'f', 2)
                   .arg(carried / 1000, 0, 'f', 2)
                   .arg((carried / plain - 1) * 100, 0, 'f', 1);
    }
    if (args.contains(QStringLiteral("--mariadb"))) {
        const QString folder = work.filePath(QStringLiteral("mariadb"));
        if (!bench::runMariaDbScript(QStringLiteral("start"), folder)) {
            out << "MariaDB: the throwaway server did not start\n";
            return 1;
        }
        {
            Bench bench(bench::openDb(QStringLiteral("mysql://root@localhost/mysql?socket=%1/sock").arg(folder)));
            bench.cls->Db->execute(QStringLiteral("Create Database bench"));
            bench.cls->Db->execute(QStringLiteral("Use bench"));
            out << "MariaDB:\n";
            reportImport(out, importRows(bench, rows, out), rows, 10);
        }
        bench::runMariaDbScript(QStringLiteral("stop"), folder);
    }
    return 0;
}
