// The host program's command line, run as a script would run it.

#include "host/ExpiryChart.h"
#include "host/HostOptions.h"
#include "host/HostSession.h"
#include "host/HostWindow.h"
#include "host/ListCommand.h"
#include "platform/ObjectRegistry.h"
#include "register/frmDscMain.h"
#include "store/StoreStatements.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

namespace {
struct Run {
    int status = -1;
    QString out, err;
};

// Runs the program as a script under cron would; a bus service may live in this process.
Run dscmgr(const QStringList& args, const QString& registry, const QString& sessionBus = QString()) {
    const auto r =
        testsupport::runDscmgr(args, registry,
                               {QStringLiteral("DBUS_SESSION_BUS_ADDRESS=") +
                                (sessionBus.isEmpty() ? QStringLiteral("unix:path=/nonexistent/bus") : sessionBus)});
    return {r.status, QString::fromUtf8(r.out), r.err};
}

// The desktop's notification service, as far as `check --notify` uses it.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received; // summary, a TAB, body
public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
                const QVariantMap&, int) {
        received << summary + QLatin1Char('\t') + body;
        return uint(received.size());
    }
};

// A DscStore written by another program: its own spelling of names and types, NULLs, no key.
void writeForeignTable(kyt::Db& db) {
    db.execute(QStringLiteral("CREATE TABLE DSCSTORE (SRNO INT, NM VARCHAR(100), TYP VARCHAR(100), SERIALNO "
                              "VARCHAR(100), ISSAUTH VARCHAR(100), DTFROM DATETIME, DTTO DATETIME, EMAIL VARCHAR(255), "
                              "MOBILE VARCHAR(50), TELNO VARCHAR(50), IDPRTYP VARCHAR(100), IDPRNO VARCHAR(100), "
                              "IDPRFLNM VARCHAR(255), ADDRPRTYP VARCHAR(100), ADDRPRNO VARCHAR(100), ADDRPRFLNM "
                              "VARCHAR(255))"));
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString soon = QDateTime::currentDateTime().addDays(5).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString later = QDateTime::currentDateTime().addDays(60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    db.execute(
        QStringLiteral("INSERT INTO DSCSTORE VALUES (4,'Soon ''Q''','Class 3',NULL,'CA','2024-01-01 00:00:00','%1',"
                       "'s@x.in',NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL)")
            .arg(soon));
    // Control characters stored in a text: a tab, a line break and an escape.
    db.execute(QStringLiteral(
                   "INSERT INTO DSCSTORE VALUES (9,'Later','Class\t2\n\x1b[31m','S9','CA','2023-01-01 00:00:00','%1',"
                   "'','','','PAN Card','P1','pan.pdf','','','')")
                   .arg(later));
    Q_UNUSED(now);
}
} // namespace

class TestHost : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void optionParsing();
    void commandsExplainThemselves();
    void listAndCheck_data() { testsupport::addBackendColumn(); }
    void listAndCheck();
    void unusableSetUpsExitWithTwo();
    void damagedRegisterIsNeverReadAsEmpty();
    void readingLeavesTheFileAsItWas();
    void checkNotifiesTheDesktop();
    void menuOpensOneRegisterWindow();
    void startWindowCountsAndOpensEachFilter();
    void newFolderWarnsAMonthAhead();
    void chartCountsEachMonthAndOpensABar_data() { testsupport::addBackendColumn(); }
    void chartCountsEachMonthAndOpensABar();
};

void TestHost::optionParsing() {
    QString error;
    auto o = HostOptions::parse(
        {QStringLiteral("list"), QStringLiteral("--expiring"), QStringLiteral("--folder"), QStringLiteral("/x")},
        &error);
    QVERIFY(o);
    QCOMPARE(o->command, QStringLiteral("list"));
    QCOMPARE(o->filter, HostOptions::Filter::Expiring);
    QVERIFY(!o->expiringDays);
    QCOMPARE(o->folder, QStringLiteral("/x"));

    o = HostOptions::parse(
        {QStringLiteral("--scale"), QStringLiteral("1.25,1.5,0.9"), QStringLiteral("--log"), QStringLiteral("err.txt")},
        &error);
    QVERIFY(o);
    QCOMPARE(o->command, QStringLiteral("gui"));
    QCOMPARE(o->scaleY, 1.5f);
    QCOMPARE(o->log, QStringLiteral("err.txt"));

    QVERIFY(HostOptions::parse({QStringLiteral("check"), QStringLiteral("--notify")}, &error)->notify);

    for (const QStringList& bad :
         {QStringList{QStringLiteral("list"), QStringLiteral("--notify")},
          QStringList{QStringLiteral("list"), QStringLiteral("--expiring"), QStringLiteral("x")},
          QStringList{QStringLiteral("--scale"), QStringLiteral("1,2")}, QStringList{QStringLiteral("frobnicate")},
          QStringList{QStringLiteral("--db")}}) {
        error.clear();
        QVERIFY2(!HostOptions::parse(bad, &error), qPrintable(bad.join(QLatin1Char(' '))));
        QVERIFY(!error.isEmpty());
    }
}

// Each command lists what it takes; what it does not take is refused in one line.
void TestHost::commandsExplainThemselves() {
    const QString registry = QDir::temp().filePath(QStringLiteral("no-objects.ini"));
    const Run import = dscmgr({QStringLiteral("import"), QStringLiteral("-h")}, registry);
    QCOMPARE(import.status, 0);
    QVERIFY2(import.out.startsWith(QStringLiteral("Usage:\n  dscmgr import PATH...")), qPrintable(import.out));
    QVERIFY(import.out.contains(QStringLiteral("--password-file FILE")) &&
            !import.out.contains(QStringLiteral("--scale")));
    const Run all = dscmgr({QStringLiteral("-h")}, registry);
    QCOMPARE(all.status, 0);
    for (const char* command : {"list", "report", "check", "certinfo", "store", "remind", "import"})
        QVERIFY2(all.out.contains(QStringLiteral("  dscmgr ") + QLatin1String(command)), command);
    for (const QStringList& bad :
         {QStringList{QStringLiteral("list"), QStringLiteral("--bogus")},
          QStringList{QStringLiteral("list"), QStringLiteral("--pdf"), QStringLiteral("a.pdf")}}) {
        const Run r = dscmgr(bad, registry);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, QStringLiteral("dscmgr: Unknown argument \"%1\"; try dscmgr --help.\n").arg(bad[1]));
    }
}

void TestHost::listAndCheck() {
    QFETCH(QString, backend);
    testsupport::ComponentFixture fx(backend);
    writeForeignTable(*fx.db);
    const QString address = testsupport::addressOf(*fx.db);
    const QString registry = fx.objects->file();
    const QStringList where = {QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"), address};

    Run all = dscmgr(QStringList{QStringLiteral("list")} + where, registry);
    QCOMPARE(all.status, 0);
    QCOMPARE(all.err, QString()); // nothing but the program's own messages
    // The certificate component is registered at start, ready for its first use.
    QVERIFY(QFileInfo::exists(kyt::ObjectRegistry(registry).libraryFor(QStringLiteral("KYTCertInfo.ClsCertMain"))));
    QStringList lines = all.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].split(QLatin1Char('\t')).size(), 16);
    QVERIFY(lines[0].startsWith(QStringLiteral("Sr. No.\tCertificate Name\tType of DSC\tSerial No.")));
    QVERIFY2(lines[1].startsWith(QStringLiteral("1\tLater\tClass 2  [31m\tS9\tCA\t01/01/2023 00:00:00\t")),
             qPrintable(lines[1]));
    QVERIFY(lines[1].endsWith(QStringLiteral("\tPAN Card\tP1\tpan.pdf\t\t\t")));
    QVERIFY(lines[2].startsWith(QStringLiteral("2\tSoon 'Q'\tClass 3\t\tCA\t01/01/2024 00:00:00\t")));

    Run expiring = dscmgr(
        QStringList{QStringLiteral("list"), QStringLiteral("--expiring"), QStringLiteral("10")} + where, registry);
    QCOMPARE(expiring.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 2);
    Run expired = dscmgr(QStringList{QStringLiteral("list"), QStringLiteral("--expired")} + where, registry);
    QCOMPARE(expired.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 1);

    // The start-up check: off, on with nothing due, on with one due.
    auto check = [&](const QByteArray& settings) {
        testsupport::writeFile(fx.folder + QStringLiteral("/Confg.ini"), settings);
        return dscmgr(QStringList{QStringLiteral("check")} + where, registry);
    };
    const Run off = check("[Settings]\nDSCAuto=0\nDSCDays=10\n");
    QCOMPARE(off.status, 0);
    QCOMPARE(off.out, QString());
    const Run none = check("[Settings]\nDSCAuto=1\nDSCDays=3\n");
    QCOMPARE(none.status, 0);
    QCOMPARE(none.out, QString());
    const Run due = check("[Settings]\nDSCAuto=1\nDSCDays=10\n");
    QCOMPARE(due.status, 1);
    QCOMPARE(due.err, QString());
    lines = due.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("Some Digital Signature Certificates are expired or going to be expired within "
                                      "next 10 Days."));
    QVERIFY(lines[2].startsWith(QStringLiteral("1\tSoon 'Q'\t")));

    // `list --expiring` without days takes the setting.
    Run setting = dscmgr(QStringList{QStringLiteral("list"), QStringLiteral("--expiring")} + where, registry);
    QCOMPARE(setting.out, due.out.section(QLatin1Char('\n'), 1));
}

void TestHost::unusableSetUpsExitWithTwo() {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("objects.ini"));
    QFile file(dir.filePath(QStringLiteral("plain-file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QList<QStringList> cases = {
        {QStringLiteral("list"), QStringLiteral("--folder"), dir.path(), QStringLiteral("--db"),
         QStringLiteral("oracle://x")},
        {QStringLiteral("list"), QStringLiteral("--folder"), dir.path(), QStringLiteral("--db"),
         QStringLiteral("mysql://root@localhost/none?socket=") + dir.filePath(QStringLiteral("no.sock"))},
        {QStringLiteral("check"), QStringLiteral("--folder"), file.fileName()},
        {QStringLiteral("list"), QStringLiteral("--folder"), QStringLiteral("/proc/no-such-folder")},
        {QStringLiteral("list"), QStringLiteral("--folder"), dir.path(), QStringLiteral("--db"),
         QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("missing/sub/x.db"))},
        {QStringLiteral("check"), QStringLiteral("--folder"), dir.path(), QStringLiteral("--db"),
         QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("mistyped.db"))},
    };
    for (const QStringList& args : cases) {
        const Run r = dscmgr(args, registry);
        QVERIFY2(r.status == 2, qPrintable(args.join(QLatin1Char(' ')) + QStringLiteral(" -> ") + r.err));
        QCOMPARE(r.out, QString());
        const QString message =
            r.err.trimmed().split(QLatin1Char('\n')).filter(QStringLiteral("dscmgr:")).join(QString());
        QVERIFY2(message.startsWith(QStringLiteral("dscmgr: ")), qPrintable(r.err));
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Confg.ini"))));
    // Reading never makes a folder; without one the register file in it is missing.
    const QString absent = dir.filePath(QStringLiteral("absent"));
    QCOMPARE(dscmgr({QStringLiteral("check"), QStringLiteral("--folder"), absent}, registry).status, 2);
    QVERIFY(!QFileInfo::exists(absent));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("mistyped.db"))));
    // The window's user, who reads no terminal, is shown the reason too.
    testsupport::ComponentFixture fx;
    QString error;
    QVERIFY(!HostSession::open(*HostOptions::parse({QStringLiteral("--folder"), file.fileName()}, &error),
                               fx.services(), &error));
    QCOMPARE(fx.dialogs->messages(), QStringList{error});
    QVERIFY(!HostSession::open(
        *HostOptions::parse({QStringLiteral("list"), QStringLiteral("--folder"), file.fileName()}, &error),
        fx.services(), &error));
    QCOMPARE(fx.dialogs->messages().size(), 1);
    // A window without a display is refused with a pointer to the alternatives.
    const Run gui = dscmgr({QStringLiteral("--folder"), dir.path()}, registry);
    QCOMPARE(gui.status, 2);
    QVERIFY(gui.err.contains(QStringLiteral("xvfb-run")));
}

namespace {
// An SQLite file written as another program would: rollback journal, the given table and rows.
QString writeSqliteFile(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
        db.setDatabaseName(path);
        if (!db.open())
            return db.lastError().text();
        QSqlQuery q(db);
        for (const QString& sql : statements)
            if (!q.exec(sql))
                return q.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("writer"));
    return {};
}

QStringList registerWithExpiredRows(int rows) {
    QStringList sql = {StoreStatements::createTable()};
    for (int i = 1; i <= rows; ++i)
        sql << QStringLiteral("Insert Into DscStore Values (%1,'Holder %1','','S%1','CA','2020-01-01 00:00:00',"
                              "'2021-01-01 00:00:00','','','','','','','','','')")
                   .arg(i);
    return sql;
}
} // namespace

namespace {
// A register of 300 records, with one page of the table overwritten by a page that a plain read
// takes for four empty records.
void writeRegisterWithPhantomRows(const QString& path) {
    QStringList statements = {StoreStatements::createTable()};
    for (int i = 1; i <= 300; ++i)
        statements << QStringLiteral("Insert Into DscStore (SrNo, Nm, DtFrom, DtTo) Values (%1, 'Holder %1', "
                                     "'2024-01-01 00:00:00', '2099-01-01 00:00:00')")
                          .arg(i);
    QCOMPARE(writeSqliteFile(path, statements), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray bytes = file.readAll();
    const int pageSize = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
    // A table leaf page (type 0x0D) of four cells, each an empty record of row 0.
    QByteArray leaf(pageSize, '\0');
    const int cells = pageSize - 96;
    const char header[] = {0x0D, 0, 0, 0, 4, char(cells >> 8), char(cells & 0xff), 0};
    leaf.replace(0, qsizetype(sizeof header), QByteArrayView(header, sizeof header));
    for (int cell = 0; cell < 4; ++cell) {
        leaf[8 + 2 * cell] = char((cells + 2 * cell) >> 8);
        leaf[9 + 2 * cell] = char((cells + 2 * cell) & 0xff);
    }
    qsizetype page = 2 * qsizetype(pageSize); // the third page: the first two are the schema and the root
    while (page < bytes.size() && bytes[page] != 0x0D)
        page += pageSize;
    QVERIFY(page < bytes.size());
    file.seek(page);
    file.write(leaf);
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// A register that cannot be read in full is exit status 2 with one line, never a heading alone or
// rows it does not hold. A damaged file is found before anything is read from or written into it,
// by every command that opens the register, and is left byte for byte as it was.
void TestHost::damagedRegisterIsNeverReadAsEmpty() {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("objects.ini"));
    const QString malformed = dir.filePath(QStringLiteral("malformed.db"));
    testsupport::makeDamagedRegister(malformed);
    const QString phantom = dir.filePath(QStringLiteral("phantom.db"));
    writeRegisterWithPhantomRows(phantom);
    const QString foreign = dir.filePath(QStringLiteral("foreign.db"));
    QCOMPARE(writeSqliteFile(foreign, {QStringLiteral("Create Table DscStore (SrNo Int, Name Varchar(100), DtTo "
                                                      "DateTime, DtFrom DateTime)"),
                                       QStringLiteral("Insert Into DscStore Values (1,'A','2020-01-01 00:00:00',"
                                                      "'2019-01-01 00:00:00')")}),
             QString());
    testsupport::writeFile(dir.filePath(QStringLiteral("Confg.ini")), "[Settings]\nDSCAuto=1\nDSCDays=10\n");
    const QList<QStringList> commands = {{QStringLiteral("list")},
                                         {QStringLiteral("list"), QStringLiteral("--json")},
                                         {QStringLiteral("check")},
                                         {QStringLiteral("report"), QStringLiteral("--pdf"), dir.filePath("r.pdf")},
                                         {QStringLiteral("import"), dir.filePath(QStringLiteral("none")),
                                          QStringLiteral("--password"), QStringLiteral("x")}};
    for (const QString& db : {malformed, phantom, foreign}) {
        const QByteArray before = contentOf(db);
        for (const QStringList& command : commands) {
            if (db == foreign && command[0] != QLatin1String("list") && command[0] != QLatin1String("check"))
                continue; // a table of other columns is no damage: the commands that write say so their own way
            const Run r = dscmgr(command + QStringList{QStringLiteral("--folder"), dir.path(), QStringLiteral("--db"),
                                                       QStringLiteral("sqlite:") + db},
                                 registry);
            const QString what = command.join(QLatin1Char(' ')) + QLatin1Char(' ') + db + QStringLiteral(": ") + r.err;
            QVERIFY2(r.status == 2, qPrintable(what));
            const QStringList said = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QVERIFY2(said.size() == 1 && said[0].startsWith(QStringLiteral("dscmgr: ")), qPrintable(what));
            if (db == foreign)
                QVERIFY2(said[0].startsWith(QStringLiteral("dscmgr: the register cannot be read: ")), qPrintable(what));
            else
                QVERIFY2(said[0].contains(QStringLiteral("damaged")), qPrintable(what));
            QVERIFY2(!r.out.contains(QStringLiteral("Sr. No.")) && !r.out.contains(QStringLiteral("\"\"")),
                     qPrintable(r.out));
        }
        QVERIFY2(contentOf(db) == before, qPrintable(db));
    }
    QVERIFY(!QFile::exists(phantom + QStringLiteral("-wal")) && !QFile::exists(phantom + QStringLiteral("-journal")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("r.pdf"))));
}

// Listing and checking change nothing in an SQLite file, not even its journal mode. A day count
// beyond the calendar looks as far ahead as dates go, so the expired rows still warn.
void TestHost::readingLeavesTheFileAsItWas() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("register.db"));
    QCOMPARE(writeSqliteFile(path, registerWithExpiredRows(2)), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    testsupport::writeFile(dir.filePath(QStringLiteral("Confg.ini")), "[Settings]\nDSCAuto=1\nDSCDays=3652059\n");
    const QStringList where = {QStringLiteral("--folder"), dir.path(), QStringLiteral("--db"),
                               QStringLiteral("sqlite:") + path};
    const QString registry = dir.filePath(QStringLiteral("objects.ini"));
    const Run list = dscmgr(QStringList{QStringLiteral("list")} + where, registry);
    QCOMPARE(list.status, 0);
    QCOMPARE(list.out.count(QLatin1Char('\n')), 3);
    const Run check = dscmgr(QStringList{QStringLiteral("check")} + where, registry);
    QCOMPARE(check.status, 1);
    QVERIFY2(check.out.contains(QStringLiteral("within next 3652059 Days.")), qPrintable(check.out + check.err));
    QVERIFY(check.out.contains(QStringLiteral("\tHolder 2\t")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll() == before);
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    file.close();

    // A folder this user may only read is listed, also when the register in it is kept in WAL
    // mode; a command that writes is refused there.
    QVERIFY(kyt::Db::open(kyt::DbAddress::sqliteFile(path), nullptr) != nullptr); // WAL from now on
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    {
        testsupport::ComponentFixture fx;
        testsupport::FilePermissionsEnforced enforced;
        QString error;
        auto reader = HostSession::open(*HostOptions::parse(QStringList{QStringLiteral("list")} + where, &error),
                                        fx.services(), &error);
        QVERIFY2(reader, qPrintable(error));
        QString listed, said;
        QTextStream out(&listed), err(&said);
        Console console{out, err};
        QCOMPARE(ListCommand().runIn(*reader, console), 0);
        out.flush();
        QCOMPARE(listed.count(QLatin1Char('\n')), 3);
        auto writer = HostSession::open(
            *HostOptions::parse(QStringList{QStringLiteral("import"), path} + where, &error), fx.services(), &error);
        QVERIFY(!writer);
        QVERIFY2(error.endsWith(QStringLiteral("it is not writable.")), qPrintable(error));
    }
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

// One notice through the session bus; without a bus the check prints and exits as always.
void TestHost::checkNotifiesTheDesktop() {
    testsupport::ComponentFixture fx;
    writeForeignTable(*fx.db);
    const QStringList args = {
        QStringLiteral("check"),    QStringLiteral("--notify"),
        QStringLiteral("--folder"), fx.folder,
        QStringLiteral("--db"),     QStringLiteral("sqlite:") + fx.db->connection().databaseName()};
    testsupport::writeFile(fx.folder + QStringLiteral("/Confg.ini"), "[Settings]\nDSCAuto=1\nDSCDays=10\n");

    const Run plain = dscmgr(args, fx.objects->file());
    QCOMPARE(plain.status, 1);
    QCOMPARE(plain.out.count(QLatin1Char('\n')), 3);

    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY2(daemon.waitForReadyRead(10000), "dbus-daemon did not start");
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    NotificationService service;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("notices"));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        const Run notified = dscmgr(args, fx.objects->file(), address);
        QCOMPARE(notified.status, 1);
        QCOMPARE(notified.out, plain.out);
        QCOMPARE(service.received, QStringList{QStringLiteral("Digital Signature Certificates\t"
                                                              "1 certificate expires within 10 days")});
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("notices"));
    daemon.kill();
    daemon.waitForFinished();
}

// The register chosen from the menu while it is open already comes to the front, once.
void TestHost::menuOpensOneRegisterWindow() {
    testsupport::ComponentFixture fx;
    QString error;
    auto session =
        HostSession::open(*HostOptions::parse({QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"),
                                               QStringLiteral("sqlite:") + fx.db->connection().databaseName()},
                                              &error),
                          fx.services(), &error);
    QVERIFY2(session, qPrintable(error));
    HostWindow window(*session);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto registers = [] {
        int open = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            open += w->objectName() == QLatin1String("frmDscMain") && w->isVisible();
        return open;
    };
    for (int i = 0; i < 2; ++i) {
        QApplication::setActiveWindow(&window);
        QTest::keyClick(&window, Qt::Key_R, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
        QTRY_COMPARE(registers(), 1);
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmDscMain"))
            w->deleteLater();
}

// The window a user starts the day in: the register's place, its counts (each opening the register
// on that filter), Enter for the register, and one sentence on an empty register.
void TestHost::startWindowCountsAndOpensEachFilter() {
    testsupport::ComponentFixture fx;
    fx.attach();
    fx.db->execute(StoreStatements::createTable());
    QString error;
    const QString file = fx.db->connection().databaseName();
    auto session = HostSession::open(
        *HostOptions::parse({QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"), "sqlite:" + file}, &error),
        fx.services(), &error);
    QVERIFY2(session, qPrintable(error));
    auto label = [](HostWindow& w, const char* name) { return w.findChild<QLabel*>(QLatin1String(name)); };
    auto button = [](HostWindow& w, const char* name) { return w.findChild<QPushButton*>(QLatin1String(name)); };
    {
        HostWindow empty(*session);
        empty.show();
        QTRY_VERIFY(label(empty, "lblempty")->isVisible());
        QVERIFY(!button(empty, "cmdallcount")->isVisible());
        QVERIFY(label(empty, "lblregister")->text().contains(QFileInfo(file).fileName()));
    }

    // Now is 05/12/2026 10:30:00 (the fixture's clock); "DSCDays" is 30.
    fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("30"));
    fx.insert(1, QStringLiteral("Expired"), QStringLiteral("01/01/2020 00:00:00"),
              QStringLiteral("01/12/2026 00:00:00"));
    fx.insert(2, QStringLiteral("Expiring"), QStringLiteral("01/01/2021 00:00:00"),
              QStringLiteral("20/12/2026 00:00:00"));
    fx.insert(3, QStringLiteral("Valid"), QStringLiteral("01/01/2022 00:00:00"), QStringLiteral("01/01/2030 00:00:00"));
    HostWindow window(*session);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(button(window, "cmdallcount")->text(), QStringLiteral("3 certificates in the register"));
    QVERIFY(!label(window, "lblempty")->isVisible());
    QTRY_VERIFY(!label(window, "lblcountstate")->isVisible());
    QCOMPARE(button(window, "cmdexpiredcount")->text(), QStringLiteral("1 has expired"));
    QCOMPARE(button(window, "cmdexpiringcount")->text(), QStringLiteral("2 expired or expiring within 30 days"));

    // Enter opens the register, on all certificates.
    QTest::keyClick(&window, Qt::Key_Return);
    frmDscMain* w = nullptr;
    QTRY_VERIFY((w = session->component()->registerWindow()));
    QCOMPARE(w->vs->Rows() - 1, 3);
    QTest::mouseClick(button(window, "cmdexpiredcount"), Qt::LeftButton);
    QVERIFY(w->options[1]->isChecked());
    QCOMPARE(w->vs->Rows() - 1, 1);
    QTest::mouseClick(button(window, "cmdexpiringcount"), Qt::LeftButton);
    QVERIFY(w->options[2]->isChecked());
    QCOMPARE(w->vs->Rows() - 1, 2);
    QCOMPARE(session->component()->registerWindow(), w); // the same window each time

    // "Import certificates…" opens the wizard from the register.
    bool wizardShown = false;
    QTimer::singleShot(0, [&] {
        QWidget* wizard = QApplication::activeModalWidget();
        wizardShown = wizard && wizard->objectName() == QLatin1String("frmbulkdsc");
        if (wizard)
            wizard->close();
    });
    QTest::mouseClick(button(window, "cmdimportcertificates"), Qt::LeftButton);
    QVERIFY(wizardShown);
    w->Unload();
}

// Now is 05/12/2026 10:30:00. The first bar counts the expired; then December 2026 (from now on)
// to November 2027; a certificate valid into December 2027 is in no bar. A click on a bar opens the
// register on that bar's rows.
void TestHost::chartCountsEachMonthAndOpensABar() {
    QFETCH(QString, backend);
    testsupport::ComponentFixture fx(backend);
    fx.attach();
    fx.db->execute(StoreStatements::createTable());
    const QString from = QStringLiteral("01/01/2020 00:00:00");
    int n = 0;
    for (const char* to :
         {"05/12/2026 10:30:00", "01/01/2020 00:00:00", "05/12/2026 10:30:01", "31/12/2026 23:59:59",
          "01/01/2027 00:00:00", "15/01/2027 00:00:00", "30/11/2027 23:59:59", "01/12/2027 00:00:00"}) {
        ++n;
        fx.insert(n, QStringLiteral("Holder %1").arg(n), from, QString::fromLatin1(to));
    }
    QString error;
    auto session = HostSession::open(
        *HostOptions::parse(
            {QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"), testsupport::addressOf(*fx.db)}, &error),
        fx.services(), &error);
    QVERIFY2(session, qPrintable(error));
    HostWindow window(*session);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // The chart comes with the counts, read in the background.
    auto* chart = window.findChild<ExpiryChart*>(QStringLiteral("chtexpiry"));
    QTRY_VERIFY(chart->isVisible());
    QCOMPARE(chart->counts(), QList<int>({2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    QApplication::processEvents();

    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, chart->barCentre(2));
    frmDscMain* w = nullptr;
    QTRY_VERIFY((w = session->component()->registerWindow()));
    QCOMPARE(w->lblhead->text(), QStringLiteral("List of Certificates Expiring in January 2027"));
    QStringList names;
    for (int row = 1; row < w->vs->Rows(); ++row)
        names << w->vs->TextMatrix(row, 2);
    QCOMPARE(names, QStringList({"Holder 5", "Holder 6"}));
    QVERIFY(!w->options[0]->isChecked() && !w->options[1]->isChecked() && !w->options[2]->isChecked());
    // The expired bar opens the expired ones that are not renewed; an option goes back to the filters.
    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, chart->barCentre(0));
    QCOMPARE(w->lblhead->text(),
             QStringLiteral("List of Certificates Expired on or before 05/12/2026 10:30:00 and not Renewed"));
    QCOMPARE(w->vs->Rows() - 1, 2);
    QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, chart->barCentre(1));
    QCOMPARE(w->vs->Rows() - 1, 2);
    QTest::mouseClick(w->options[0], Qt::LeftButton);
    QCOMPARE(w->vs->Rows() - 1, 8);
    w->Unload();
}

// A folder dscmgr makes gets "DSCDays" 30; a folder that was there keeps the component's default.
void TestHost::newFolderWarnsAMonthAhead() {
    testsupport::ComponentFixture fx;
    const QString made = fx.folder + QStringLiteral("/new home");
    const QString existing = fx.folder + QStringLiteral("/existing");
    QVERIFY(QDir().mkpath(existing));
    for (const QString& folder : {made, existing}) {
        QString error;
        auto session =
            HostSession::open(*HostOptions::parse({QStringLiteral("--folder"), folder}, &error), fx.services(), &error);
        QVERIFY2(session, qPrintable(error));
        QCOMPARE(session->componentOnRegister().GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"),
                                                              QStringLiteral("0")),
                 folder == made ? QStringLiteral("30") : QStringLiteral("0"));
    }
}

QTEST_MAIN(TestHost)
#include "test_host.moc"
