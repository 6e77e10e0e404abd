// `dscmgr import` when the register cannot take what it is given: values too long or holding a NUL,
// a register that is read-only, locked, damaged or shared with another desk importing the same
// files, and folders holding more than plain certificate files. Every row is stored or says why,
// the exit status tells the script, and running the same import again finishes the job.

#include "CertificateFactory.h"
#include "platform/Db.h"
#include "platform/DbAddress.h"
#include "store/StoreStatements.h"
#include "support/TestSupport.h"

#include <csignal>
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>
#include <sys/stat.h>

using namespace kyt::test;

namespace {
using Run = testsupport::ProgramRun;

const QString kImported = QStringLiteral("Imported Successfully");
} // namespace

class ImportFaultsTest : public testsupport::DialogsCheckedTest {
    Q_OBJECT

private slots:
    void initTestCase();
    void unstorableValuesAreRefused_data() { testsupport::addBackendColumn(); }
    void unstorableValuesAreRefused();
    void refusedWritesAreNotImported_data();
    void refusedWritesAreNotImported();
    void damagedRegisterIsLeftAlone();
    void folderEntriesEachGetALine();
    void twoDesksImportingTheSameFilesStoreEachOnce_data() { testsupport::addBackendColumn(); }
    void twoDesksImportingTheSameFilesStoreEachOnce();
    void backupWhileAnotherDeskImports_data() { testsupport::addBackendColumn(); }
    void backupWhileAnotherDeskImports();

private:
    // Starts dscmgr as a script would; `unprivileged` runs it without the rights that let root
    // write to any file, so that file permissions hold as for any user.
    QProcess* start(const QStringList& args, const QString& db, bool unprivileged = false) {
        auto* p = new QProcess(this);
        p->setProcessEnvironment(testsupport::dscmgrEnvironment(dir_.filePath(QStringLiteral("objects.ini"))));
        const QStringList all = QStringList{testsupport::binDir() + QStringLiteral("/dscmgr")} + args +
                                QStringList{"--folder", dir_.path(), "--db", db};
        if (unprivileged)
            p->start(QStringLiteral("setpriv"),
                     QStringList{"--bounding-set=-dac_override,-dac_read_search,-fowner"} + all);
        else
            p->start(all.first(), all.mid(1));
        return p;
    }
    static Run finish(QProcess* p) {
        const Run r = testsupport::finishRun(*p, 300000);
        p->deleteLater();
        return r;
    }
    Run dscmgr(const QStringList& args, const QString& db, bool unprivileged = false) {
        return finish(start(args, db, unprivileged));
    }
    static int count(kyt::Db& db, const QString& sql) { return column(db, sql).value(0).toInt(); }
    static QStringList column(kyt::Db& db, const QString& sql) {
        QStringList out;
        kyt::RowSet rs = db.openRowSet(sql);
        for (; !rs.eof(); rs.next())
            out << rs.text(0);
        rs.close();
        return out;
    }
    QString cert(const QString& name) const { return dir_.filePath(QStringLiteral("certs/") + name); }

    QTemporaryDir dir_;
    kyt::certinfo::CryptoContext crypto_;
    std::unique_ptr<KeyAndCertificate> ca_;
    QString longSerial_;
};

void ImportFaultsTest::initTestCase() {
    ca_ = std::make_unique<KeyAndCertificate>(makeAuthority(QStringLiteral("Faults CA")));
    auto write = [&](const QString& file, const QString& name, const QByteArray& serial) {
        CertificateRecipe r;
        r.subject = {commonName(name)};
        r.serial = serial;
        writeFile(dir_.path(), file, derOf(makeCertificate(r, ca_.get()).cert.get()));
    };
    write(QStringLiteral("certs/alpha.cer"), QStringLiteral("Alpha Holder"), QByteArray::fromHex("0a"));
    write(QStringLiteral("certs/beta.cer"), QStringLiteral("Beta Holder"), QByteArray::fromHex("0b"));
    const QByteArray sixty(60, '\x5a');
    longSerial_ = QString::fromLatin1(sixty.toHex().toUpper());
    write(QStringLiteral("certs/long-serial.cer"), QStringLiteral("Long Serial"), sixty);
    write(QStringLiteral("certs/long-name.cer"), QString(101, QLatin1Char('N')), QByteArray::fromHex("0c"));
    write(QStringLiteral("certs/nul.cer"), QStringLiteral("Nul") + QChar(0) + QStringLiteral("Name"),
          QByteArray::fromHex("0d"));
    for (int i = 1; i <= 300; ++i)
        write(QStringLiteral("many/%1.cer").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("Holder %1").arg(i),
              QByteArray::number(1000 + i));
}

// Nothing stored is ever shorter than the certificate gave, on either database; the rest of the
// run goes on.
void ImportFaultsTest::unstorableValuesAreRefused() {
    QFETCH(QString, backend);
    const auto db = testsupport::openFreshDb(backend, dir_.path(), QStringLiteral("unstorable"));
    const QStringList files = {cert("long-serial.cer"), cert("long-name.cer"), cert("nul.cer"), cert("alpha.cer")};
    const Run r = dscmgr(QStringList{"import"} + files, testsupport::addressOf(*db));
    QCOMPARE(r.status, 1);
    QCOMPARE(r.lastCell(1), QStringLiteral("Not Imported: the Serial Number is longer than 100 characters"));
    QCOMPARE(r.lastCell(2), QStringLiteral("Not Imported: the Certificate Name is longer than 100 characters"));
    QCOMPARE(r.lastCell(3),
             QStringLiteral("Not Imported: the Certificate Name holds a NUL character, which cannot be stored"));
    QCOMPARE(r.lastCell(4), kImported);
    QCOMPARE(r.lines.last(), QStringLiteral("1 Records Transferred."));
    QCOMPARE(column(*db, QStringLiteral("Select Nm From DscStore")), QStringList{"Alpha Holder"});
}

void ImportFaultsTest::refusedWritesAreNotImported_data() {
    QTest::addColumn<QString>("cause");
    for (const char* cause : {"sqlite read-only", "sqlite locked", "mysql lock held", "mysql without reload"})
        QTest::newRow(cause) << QString::fromLatin1(cause);
}

// A write the register refuses leaves the row unstored, says why, exits 1 and counts nothing; once
// the cause is gone the same command imports it.
void ImportFaultsTest::refusedWritesAreNotImported() {
    QFETCH(QString, cause);
    const bool sqlite = cause.startsWith(QLatin1String("sqlite"));
    const auto db = testsupport::openFreshDb(sqlite ? QStringLiteral("sqlite") : QStringLiteral("mysql"), dir_.path(),
                                             QStringLiteral("refused"));
    db->execute(StoreStatements::createTable());
    for (const QString& index : StoreStatements::createIndexes())
        db->execute(index);
    QString address = testsupport::addressOf(*db);
    QString expected;
    bool unprivileged = false;
    std::function<void()> lift = [] {};
    QSqlDatabase other;
    if (cause == QLatin1String("sqlite read-only")) {
        const QByteArray file = QFile::encodeName(db->connection().databaseName());
        ::chmod(file.constData(), 0444);
        unprivileged = true;
        expected = QStringLiteral("Not Imported: the register is read-only");
        lift = [file] { ::chmod(file.constData(), 0644); };
    } else if (cause == QLatin1String("sqlite locked")) {
        other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other desk"));
        other.setDatabaseName(db->connection().databaseName());
        QVERIFY(other.open() && QSqlQuery(other).exec(QStringLiteral("BEGIN IMMEDIATE")));
        expected = QStringLiteral("Not Imported: the register is locked by another desk");
        lift = [&other] { QSqlQuery(other).exec(QStringLiteral("ROLLBACK")); };
    } else if (cause == QLatin1String("mysql lock held")) {
        // Held by another session beyond the time a statement may wait: not taken for a lost server.
        db->openRowSet(QStringLiteral("SELECT GET_LOCK(CONCAT('KYTDscMgr.SrNo.',DATABASE()),0)")).close();
        address = testsupport::addressOf(*db, QStringLiteral("root"), QStringLiteral("&timeout=4"));
        expected = QStringLiteral("Not Imported: record numbers are being allocated elsewhere");
        lift = [&db] {
            db->openRowSet(QStringLiteral("SELECT RELEASE_LOCK(CONCAT('KYTDscMgr.SrNo.',DATABASE()))")).close();
        };
    } else {
        // A user with every right the import uses, but not the one "Flush Tables" needs.
        const QString name = db->connection().databaseName();
        db->execute(QStringLiteral("DROP USER IF EXISTS 'kytclerk'@'localhost'"));
        db->execute(QStringLiteral("CREATE USER 'kytclerk'@'localhost' IDENTIFIED BY 'pw'"));
        db->execute(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE, CREATE, INDEX ON `%1`.* TO "
                                   "'kytclerk'@'localhost'")
                        .arg(name));
        address = testsupport::addressOf(*db, QStringLiteral("kytclerk:pw"));
        expected = kImported;
    }
    const QStringList files = {cert("alpha.cer")};
    const Run first = dscmgr(QStringList{"import"} + files, address, unprivileged);
    QCOMPARE(first.lastCell(1), expected);
    if (expected != kImported) {
        QCOMPARE(first.status, 1);
        QCOMPARE(first.lines.last(), QStringLiteral("0 Records Transferred."));
        QVERIFY2(first.err.contains(QStringLiteral("were not stored")), qPrintable(first.err));
        lift();
        QVERIFY(column(*db, QStringLiteral("Select Nm From DscStore")).isEmpty());
        const Run again = dscmgr(QStringList{"import"} + files, address);
        QCOMPARE(again.lastCell(1), kImported);
        QCOMPARE(again.status, 0);
    } else {
        QCOMPARE(first.status, 0);
    }
    QCOMPARE(column(*db, QStringLiteral("Select Nm From DscStore")), QStringList{"Alpha Holder"});
    if (other.isValid()) {
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other desk"));
    }
}

// A damaged register is not imported into: one line, exit status 2, the file as it was.
void ImportFaultsTest::damagedRegisterIsLeftAlone() {
    const QString file = dir_.filePath(QStringLiteral("damaged.db"));
    testsupport::makeDamagedRegister(file);
    auto hash = [&] {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    };
    const QByteArray before = hash();
    const Run r = dscmgr({"import", cert("alpha.cer"), cert("beta.cer")}, QStringLiteral("sqlite:") + file);
    QCOMPARE(r.status, 2);
    QVERIFY(r.lines.isEmpty());
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    // Refused when opened, before anything is read or written.
    QVERIFY2(r.err.startsWith(QStringLiteral("dscmgr: ")) && r.err.contains(QStringLiteral("is damaged")),
             qPrintable(r.err));
    QCOMPARE(hash(), before);
}

// Every entry of a chosen folder gets a line: names differing only in letter case are two files,
// hidden files are taken, and what is not a readable file says so without being opened.
void ImportFaultsTest::folderEntriesEachGetALine() {
    const QString folder = dir_.filePath(QStringLiteral("mixed"));
    QDir().mkpath(folder + QStringLiteral("/locked"));
    QDir().mkpath(folder + QStringLiteral("/plain"));
    QFile::copy(cert("alpha.cer"), folder + QStringLiteral("/cert.cer"));
    QFile::copy(cert("beta.cer"), folder + QStringLiteral("/CERT.cer"));
    QFile::copy(cert("long-name.cer"), folder + QStringLiteral("/.hidden.cer"));
    QVERIFY(::mkfifo(QFile::encodeName(folder + QStringLiteral("/pipe.cer")).constData(), 0644) == 0);
    QVERIFY(QFile::link(folder + QStringLiteral("/gone.cer"), folder + QStringLiteral("/dangling.cer")));
    ::chmod(QFile::encodeName(folder + QStringLiteral("/locked")).constData(), 0);
    QFile::copy(cert("beta.cer"), folder + QStringLiteral("/secret.cer"));
    ::chmod(QFile::encodeName(folder + QStringLiteral("/secret.cer")).constData(), 0);
    const auto db = testsupport::openFreshDb(QStringLiteral("sqlite"), dir_.path(), QStringLiteral("mixed"));
    const Run r = dscmgr({"import", folder, folder + QStringLiteral("/./cert.cer")}, testsupport::addressOf(*db), true);
    QStringList statuses;
    for (int row = 1; row < r.lines.size() - 1; ++row)
        statuses << r.lines[row].section(QLatin1Char('\t'), 1, 1) + QLatin1Char('=') + r.lastCell(row);
    QCOMPARE(statuses, QStringList({".hidden=Not Imported: the Certificate Name is longer than 100 characters",
                                    "CERT=" + kImported, "cert=" + kImported,
                                    folder + "/dangling.cer=Broken link: the file it points to does not exist",
                                    "lo=Folder cannot be read", "pipe=Not a file: a named pipe",
                                    "secret=File cannot be read: permission denied"}));
    QCOMPARE(r.status, 1);
    QCOMPARE(column(*db, QStringLiteral("Select Nm From DscStore Order By Nm")),
             QStringList({"Alpha Holder", "Beta Holder"}));
}

// Two desks importing the same 300 files at once: each certificate is stored once, under a record
// number of its own, and each desk's rows say which of them it stored.
void ImportFaultsTest::twoDesksImportingTheSameFilesStoreEachOnce() {
    QFETCH(QString, backend);
    const auto db = testsupport::openFreshDb(backend, dir_.path(), QStringLiteral("twodesks"));
    db->execute(StoreStatements::createTable());
    const QString folder = dir_.filePath(QStringLiteral("many"));
    QElapsedTimer timer;
    timer.start();
    QProcess* a = start({"import", folder}, testsupport::addressOf(*db));
    QProcess* b = start({"import", folder}, testsupport::addressOf(*db));
    const Run first = finish(a);
    const Run second = finish(b);
    qInfo("%s: two imports of the same 300 files at once in %lld ms", qPrintable(backend), timer.elapsed());
    QVERIFY2(first.status == 0 && second.status == 0, qPrintable(first.err + second.err));
    int imported = 0;
    for (const Run* r : {&first, &second})
        for (int row = 1; row <= 300; ++row)
            imported += r->lastCell(row) == kImported;
    QCOMPARE(imported, 300);
    QCOMPARE(column(*db, QStringLiteral("Select Distinct SerialNo From DscStore")).size(), 300);
    const QStringList numbers = column(*db, QStringLiteral("Select SrNo From DscStore"));
    QCOMPARE(numbers.size(), 300);
    QCOMPARE(QSet<QString>(numbers.begin(), numbers.end()).size(), 300);
}

// A backup taken while another desk's import is part-way, stopped even inside a row's transaction,
// holds whole records only: each with its one history entry and no entry without its record, and
// every record there before with its documents.
void ImportFaultsTest::backupWhileAnotherDeskImports() {
    QFETCH(QString, backend);
    const auto db = testsupport::openFreshDb(backend, dir_.path(), QStringLiteral("busy"));
    db->execute(StoreStatements::createTable());
    const QString folder = dir_.filePath(QStringLiteral("busy-") + backend);
    QMap<QString, QByteArray> kept;
    for (int n = 1; n <= 3; ++n) {
        db->execute(QStringLiteral("Insert Into DscStore (SrNo, Nm, SerialNo) Values (%1, 'Before %1', 'B%1')").arg(n));
        const QString doc = QStringLiteral("DscDocs/IdProofs/%1/id.pdf").arg(n);
        kept[doc] = QByteArray(100000, char('a' + n));
        writeFile(folder, doc, kept[doc]);
    }
    const QString address = testsupport::addressOf(*db);
    const QString registry = dir_.filePath(QStringLiteral("objects.ini"));
    QProcess* import = start({"import", dir_.filePath(QStringLiteral("many"))}, address);
    QVERIFY(import->waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (count(*db, QStringLiteral("Select Count(*) From DscStore")) < 10 && waited.elapsed() < 60000)
        QThread::msleep(1);
    ::kill(pid_t(import->processId()), SIGSTOP);
    const QString archive = dir_.filePath(QStringLiteral("busy-%1.tar").arg(backend));
    const Run made = testsupport::runDscmgr({"backup", archive, "--folder", folder, "--db", address}, registry);
    ::kill(pid_t(import->processId()), SIGCONT);
    const Run imported = finish(import);
    QVERIFY2(made.status == 0, qPrintable(made.err));
    QVERIFY2(imported.status == 0, qPrintable(imported.err));

    const auto copy = testsupport::openFreshDb(backend, dir_.path(), QStringLiteral("busycopy"));
    const QString into = dir_.filePath(QStringLiteral("busycopy-") + backend);
    const QString copyAddress =
        backend == QLatin1String("sqlite") ? "sqlite:" + into + "/KYTDscMgr.db" : testsupport::addressOf(*copy);
    const Run restored = testsupport::runDscmgr({"restore", archive, "--folder", into, "--db", copyAddress}, registry);
    QVERIFY2(restored.status == 0, qPrintable(restored.err));
    QString why;
    const auto held = kyt::Db::open(*kyt::DbAddress::parse(copyAddress, &why), &why);
    QVERIFY2(held, qPrintable(why));
    const int stored = count(*held, QStringLiteral("Select Count(*) From DscStore"));
    QVERIFY2(stored >= 10 && stored < 303, qPrintable(QString::number(stored)));
    QCOMPARE(count(*held, QStringLiteral("Select Count(*) From DscHistory")), stored - 3);
    QCOMPARE(count(*held, QStringLiteral("Select Count(*) From DscStore s Where s.SrNo > 3 And (Select Count(*) From "
                                         "DscHistory h Where h.SrNo=s.SrNo And h.ChangeKind='insert')=1")),
             stored - 3);
    for (auto it = kept.begin(); it != kept.end(); ++it)
        QCOMPARE(testsupport::readFile(into + QLatin1Char('/') + it.key()), it.value());
}

QTEST_MAIN(ImportFaultsTest)
#include "test_import_faults.moc"
