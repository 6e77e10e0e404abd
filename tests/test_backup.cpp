// One-file backups: a round trip field for field and document for document on both backends,
// archives that are refused, backups that are refused or killed. A backup taken while another desk
// imports is tested with the import's faults.

#include "backup/RegisterBackup.h"
#include "platform/DbAddress.h"
#include "store/DeletedRecords.h"
#include "store/RecordHistory.h"
#include "support/RegisterWindowHarness.h"

#include <csignal>
#include <QCryptographicHash>
#include <QDirIterator>
#include <sys/resource.h>

using namespace regtest;
using namespace Qt::StringLiterals;
using testsupport::addBackendColumn;

namespace {
// Every record's values and every document's hash under a folder, to compare two registers.
QMap<int, StoreStatements::RecordValues> records(kyt::Db& db) {
    QMap<int, StoreStatements::RecordValues> out;
    kyt::RowSet rs = db.openRowSet(u"Select SrNo From DscStore"_s);
    QList<int> numbers;
    for (; !rs.eof(); rs.next())
        numbers << rs.value(0).toInt();
    rs.close();
    for (int n : numbers)
        out[n] = *RecordHistory::storedValues(db, n);
    return out;
}
QMap<QString, QByteArray> documents(const QString& folder) {
    QMap<QString, QByteArray> out;
    const QString root = folder + u"/DscDocs/"_s;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out[path.mid(root.size())] =
            QCryptographicHash::hash(testsupport::readFile(path), QCryptographicHash::Sha256).toHex();
    }
    return out;
}
QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}
} // namespace

class TestBackup : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data() { addBackendColumn(); }
    void roundTrip();
    void badArchivesRefused_data() { addBackendColumn(); }
    void badArchivesRefused();
    void refusedBackupsLeaveNothing_data() { addBackendColumn(); }
    void refusedBackupsLeaveNothing();
    void killedBackupLeavesNothing_data() { addBackendColumn(); }
    void killedBackupLeavesNothing();
    void backUpNowFromTheSettings();
};

// Backup, verify, restore into an empty register: equal field for field and document for
// document, kept documents of a deleted record included. A second restore needs --replace, which
// saves what is there first.
void TestBackup::roundTrip() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s, .email = u"a'b@x.in"_s, .idFile = u"pan.pdf"_s},
             QByteArray(300000, 'a'));
    rw.store({.srNo = 2, .name = u"Bala \u0928\u092e"_s, .serial = u"S2"_s, .addrFile = u"bill one.png"_s}, "bill");
    rw.store({.srNo = 3, .name = u"Chitra"_s, .serial = u"S3"_s, .idFile = u"id.pdf"_s}, "gone");
    QVERIFY(DeletedRecords::deleteRecord(*rw.fx.db, rw.fx.folder, 3, rw.fx.clock->now()).deleted);
    rw.writeFile(rw.idDoc(9, u"orphan.pdf"_s), "no record"); // no row: not in the archive
    const QString archive = rw.fx.folder + u"/backup.tar"_s;
    const QString registry = rw.fx.objects->file();
    const QStringList where = {u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(*rw.fx.db)};

    auto made = testsupport::runDscmgr(QStringList{u"backup"_s, archive} + where, registry);
    QCOMPARE(made.status, 0);
    QCOMPARE(made.lines.value(0), archive + u": 2 records and 3 documents."_s);
    auto checked = testsupport::runDscmgr({u"backup"_s, u"--verify"_s, archive}, registry);
    QCOMPARE(checked.status, 0);

    const auto target = testsupport::openFreshDb(backend, rw.fx.folder, u"restored"_s);
    const QString folder = rw.fx.folder + u"/restored"_s;
    const QString address =
        backend == u"sqlite"_s ? u"sqlite:"_s + folder + u"/KYTDscMgr.db"_s : testsupport::addressOf(*target);
    const QStringList into = {u"--folder"_s, folder, u"--db"_s, address};
    auto restored = testsupport::runDscmgr(QStringList{u"restore"_s, archive} + into, registry);
    QCOMPARE(restored.status, 0);
    QString why;
    const auto reopened = kyt::Db::open(*kyt::DbAddress::parse(address, &why), &why);
    QVERIFY2(reopened, qPrintable(why));
    QVERIFY(records(*reopened) == records(*rw.fx.db));
    QMap<QString, QByteArray> expected = documents(rw.fx.folder);
    expected.remove(u"IdProofs/9/orphan.pdf"_s);
    QCOMPARE(documents(folder), expected);
    QCOMPARE(RecordHistory::entries(*reopened).size(), RecordHistory::entries(*rw.fx.db).size());
    QVERIFY(RecordHistory::lastDelete(*reopened, 3));

    auto again = testsupport::runDscmgr(QStringList{u"restore"_s, archive} + into, registry);
    QCOMPARE(again.status, 2);
    QVERIFY(again.err.contains(u"not empty"_s));
    auto replaced = testsupport::runDscmgr(QStringList{u"restore"_s, archive, u"--replace"_s} + into, registry);
    QCOMPARE(replaced.status, 0);
    QVERIFY(replaced.lines.value(0).startsWith(u"What was there is saved in "_s));
    QCOMPARE(QDir(folder).entryList({u"KYTDscMgr-before-restore-*.tar"_s}).size(), 1);
    const auto replacedDb = kyt::Db::open(*kyt::DbAddress::parse(address, &why), &why);
    QVERIFY2(replacedDb, qPrintable(why));
    QVERIFY(records(*replacedDb) == records(*rw.fx.db));
    QCOMPARE(documents(folder), expected);
}

// A truncated, changed or foreign archive is refused with one line naming what is wrong, and the
// restore writes nothing: not into an empty folder, and with --replace not over the register there
// (which is not even backed up, since nothing is replaced).
void TestBackup::badArchivesRefused() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s, .idFile = u"pan.pdf"_s}, QByteArray(200000, 'p'));
    const QString work = rw.fx.folder + u"/work"_s;
    QDir().mkpath(work);
    const QString good = work + u"/good.tar"_s;
    QVERIFY(backup::write(*rw.fx.db, rw.fx.folder, good, u"1"_s).ok);
    const QByteArray bytes = rw.readFile(good);
    QByteArray changed = bytes;
    const qsizetype at = changed.indexOf(QByteArray(100, 'p'));
    QVERIFY(at > 0);
    changed[at + 50] = 'q';
    rw.writeFile(work + u"/notes.txt"_s, "a tar of something else\n");
    QProcess tar;
    tar.start(u"tar"_s, {u"cf"_s, work + u"/foreign.tar"_s, u"-C"_s, work, u"notes.txt"_s});
    QVERIFY(tar.waitForFinished() && tar.exitCode() == 0);
    const QList<std::pair<QByteArray, QString>> cases = {
        {bytes.left(bytes.size() / 2), u"truncated"_s},
        {bytes.left(bytes.size() - 2048), u"truncated"_s},
        {changed, u"pan.pdf does not match its checksum"_s},
        {rw.readFile(work + u"/foreign.tar"_s), u"not a backup of this program: it holds notes.txt"_s},
        {"just some text\n", u"not a backup"_s},
        {QByteArray(), u"not a backup"_s},
    };
    const auto storedBefore = records(*rw.fx.db);
    const auto documentsBefore = documents(rw.fx.folder);
    const QStringList folderBefore = filesIn(rw.fx.folder);
    const QString registry = rw.fx.objects->file();
    for (const auto& [content, says] : cases) {
        const QString bad = work + u"/bad.tar"_s;
        rw.writeFile(bad, content);
        const backup::Outcome checked = backup::verify(bad);
        QVERIFY(!checked.ok);
        QVERIFY2(checked.error.contains(says), qPrintable(checked.error));
        QVERIFY(!checked.error.contains(u'\n'));
        const QString empty = work + u"/empty"_s;
        auto r = testsupport::runDscmgr({u"restore"_s, bad, u"--folder"_s, empty}, registry);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err.count(u'\n'), 1);
        QCOMPARE(filesIn(empty), QStringList());
        auto over = testsupport::runDscmgr({u"restore"_s, bad, u"--replace"_s, u"--folder"_s, rw.fx.folder, u"--db"_s,
                                            testsupport::addressOf(*rw.fx.db)},
                                           registry);
        QCOMPARE(over.status, 2);
        QVERIFY2(over.err.contains(says), qPrintable(over.err));
        QVERIFY(records(*rw.fx.db) == storedBefore);
        QCOMPARE(documents(rw.fx.folder), documentsBefore);
        QCOMPARE(filesIn(rw.fx.folder), folderBefore);
    }
}

namespace {
// Runs dscmgr with every file it writes limited to `limit` bytes: its writes fail part-way, as on
// a disk that fills up.
testsupport::ProgramRun runWithFilesLimited(const QStringList& args, const QString& registry, rlim_t limit) {
    QProcess p;
    p.setProcessEnvironment(testsupport::dscmgrEnvironment(registry));
    p.setChildProcessModifier([limit] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit files{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &files);
    });
    p.start(testsupport::binDir() + u"/dscmgr"_s, args);
    return testsupport::finishRun(p, 120000);
}
} // namespace

// A backup to something that is no regular file, into a missing folder, onto a disk that fills up,
// or of a register that cannot be read in full, ends with one line and exit status 2 and leaves
// nothing behind: no archive, no part of one, no work files.
void TestBackup::refusedBackupsLeaveNothing() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s, .idFile = u"scan.pdf"_s}, QByteArray(3 << 20, 's'));
    const QString dir = rw.fx.folder + u"/out"_s;
    QDir().mkpath(dir + u"/folder"_s);
    const QString registry = rw.fx.objects->file();
    const QStringList where = {u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(*rw.fx.db)};
    auto refused = [&](const testsupport::ProgramRun& r, const QString& says) {
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err.count(u'\n'), 1);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QCOMPARE(filesIn(dir), QStringList{u"folder"_s});
    };
    for (const QString& target : {dir + u"/folder"_s, u"/dev/null"_s, dir + u"/none/x.tar"_s})
        refused(testsupport::runDscmgr(QStringList{u"backup"_s, target} + where, registry), u"backup was not"_s);

    refused(runWithFilesLimited(QStringList{u"backup"_s, dir + u"/full.tar"_s} + where, registry, 1 << 20),
            u"cannot be written"_s);

    // A history the backup cannot read the deleted records' documents from.
    rw.fx.db->execute(u"Drop Table If Exists DscHistory"_s);
    rw.fx.db->execute(u"Create Table DscHistory (Id Int, SrNo Int)"_s);
    refused(testsupport::runDscmgr(QStringList{u"backup"_s, dir + u"/x.tar"_s} + where, registry),
            backend == u"sqlite"_s ? u"no such column"_s : u"lacks the columns"_s);
    if (backend == u"sqlite"_s) {
        const QString damaged = rw.fx.folder + u"/damaged.db"_s;
        testsupport::makeDamagedRegister(damaged);
        refused(testsupport::runDscmgr(
                    {u"backup"_s, dir + u"/x.tar"_s, u"--folder"_s, rw.fx.folder, u"--db"_s, u"sqlite:"_s + damaged},
                    registry),
                u"cannot be read"_s);
    }
}

// A backup killed while it writes leaves no file under the name asked for.
void TestBackup::killedBackupLeavesNothing() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    for (int n = 1; n <= 150; ++n)
        rw.store({.srNo = n, .name = u"R%1"_s.arg(n), .serial = u"S%1"_s.arg(n), .idFile = u"f.pdf"_s},
                 QByteArray(1 << 20, char('a' + n % 26)));
    const QString dir = rw.fx.folder + u"/out"_s;
    QDir().mkpath(dir);
    const QString archive = dir + u"/nightly.tar"_s;
    QProcess* p = testsupport::startDscmgr(
        {u"backup"_s, archive, u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(*rw.fx.db)},
        rw.fx.objects->file());
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden))
                if (f.fileName().startsWith(u".nightly.tar."_s) && f.size() > (1 << 20))
                    return true;
            return false;
        },
        20000));
    p->kill();
    p->waitForFinished();
    delete p;
    QVERIFY(!QFileInfo::exists(archive));
}

// "Back up now..." in the settings frame writes an archive into the folder the user picks.
void TestBackup::backUpNowFromTheSettings() {
    RegisterWindow rw;
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s, .idFile = u"pan.pdf"_s});
    rw.open();
    rw.click(rw.w->cmdsettings);
    const QString dir = rw.fx.folder + u"/picked"_s;
    QDir().mkpath(dir);
    rw.fx.dialogs->queue(dir);
    rw.click(rw.w->cmdbackupnow);
    const QStringList made = QDir(dir).entryList({u"KYTDscMgr-backup-*.tar"_s});
    QCOMPARE(made.size(), 1);
    QVERIFY(rw.said().last().contains(u"1 records, 1 documents"_s));
    QVERIFY(backup::verify(dir + u'/' + made[0]).ok);
}

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
