// One-file backups: a round trip field for field and document for document on both backends,
// archives that are refused, backups that are refused or killed. A backup taken while another desk
// imports is tested with the import's faults.

#include "backup/RegisterBackup.h"
#include "platform/DbAddress.h"
#include "store/DeletedRecords.h"
#include "store/RecordHistory.h"
#include "store/RecordNumbers.h"
#include "store/Renewals.h"
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
QMap<QString, QByteArray> documentsIn(const QString& docsFolder) {
    QMap<QString, QByteArray> out;
    const QString root = docsFolder + u'/';
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).absolutePath() == QDir(docsFolder).absolutePath())
            continue; // documents live in the kinds' folders; the root holds the desks' lock file

        out[path.mid(root.size())] =
            QCryptographicHash::hash(testsupport::readFile(path), QCryptographicHash::Sha256).toHex();
    }
    return out;
}
QMap<QString, QByteArray> documents(const QString& folder) {
    return documentsIn(folder + u"/DscDocs"_s);
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
    void documentsAgreeWithRowsChangedMeanwhile_data() { addBackendColumn(); }
    void documentsAgreeWithRowsChangedMeanwhile();
    void backupWaitsForADocumentBeingSaved_data() { addBackendColumn(); }
    void backupWaitsForADocumentBeingSaved();
    void badArchivesRefused_data() { addBackendColumn(); }
    void badArchivesRefused();
    void failedSwapPutsBackWhatWasThere_data() { addBackendColumn(); }
    void failedSwapPutsBackWhatWasThere();
    void rowsBesideTheRecordsAreNotEmpty_data() { addBackendColumn(); }
    void rowsBesideTheRecordsAreNotEmpty();
    void refusedBackupsLeaveNothing_data() { addBackendColumn(); }
    void refusedBackupsLeaveNothing();
    void killedBackupLeavesNothing_data() { addBackendColumn(); }
    void killedBackupLeavesNothing();
    void backUpNowFromTheSettings();
};

// Backup, verify, restore into an empty register: equal field for field and document for
// document, kept documents of a deleted record included. A second restore needs --replace, which
// saves what is there first: the register and its documents in an archive, and the document folder
// whole, files that no record names included.
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
    rw.writeFile(folder + u"/DscDocs/IdProofs/9/orphan.pdf"_s, "no record here either");
    rw.writeFile(folder + u"/DscDocs/.deleted/put-by-hand/note.txt"_s, "no history entry");
    QMap<QString, QByteArray> wasThere = documents(folder);
    auto replaced = testsupport::runDscmgr(QStringList{u"restore"_s, archive, u"--replace"_s} + into, registry);
    QCOMPARE(replaced.status, 0);
    const QStringList savedTar = QDir(folder).entryList({u"KYTDscMgr-before-restore-*.tar"_s});
    const QStringList savedDocs = QDir(folder).entryList({u"DscDocs-before-restore-*"_s}, QDir::Dirs);
    QCOMPARE(savedTar.size(), 1);
    QCOMPARE(savedDocs.size(), 1);
    QCOMPARE(replaced.lines.value(0),
             u"What was there is saved in %1/%2, and its document folder is kept as %1/%3."_s.arg(folder, savedTar[0],
                                                                                                  savedDocs[0]));
    const auto replacedDb = kyt::Db::open(*kyt::DbAddress::parse(address, &why), &why);
    QVERIFY2(replacedDb, qPrintable(why));
    QVERIFY(records(*replacedDb) == records(*rw.fx.db));
    QCOMPARE(documents(folder), expected);
    // Every file the folder held is where the line says, byte for byte.
    QCOMPARE(documentsIn(folder + u'/' + savedDocs[0]), wasThere);
    QVERIFY(wasThere.contains(u"IdProofs/9/orphan.pdf"_s) && wasThere.contains(u".deleted/put-by-hand/note.txt"_s));
}

namespace {
// Restores `archive` into a fresh register beside the fixture's.
struct Restored {
    std::shared_ptr<kyt::Db> db;
    QString folder;
};
Restored restoredFrom(RegisterWindow& rw, const QString& backend, const QString& archive, const QString& tag) {
    const auto target = testsupport::openFreshDb(backend, rw.fx.folder, tag);
    backup::RestoreTarget into;
    into.folder = rw.fx.folder + u'/' + tag;
    if (backend == u"sqlite"_s)
        into.sqliteFile = into.folder + u"/KYTDscMgr.db"_s;
    else
        into.serverDb = target;
    const backup::Outcome restored = backup::restore(archive, into);
    if (!restored.ok)
        qFatal("restore failed: %s", qPrintable(restored.error));
    QString why;
    return {backend == u"sqlite"_s ? kyt::Db::open(kyt::DbAddress::sqliteFile(into.sqliteFile), &why) : target,
            into.folder};
}
} // namespace

// Another desk changes the register after the backup has copied its rows but before it has read the
// documents. A record deleted meanwhile is archived with the documents it had, taken from where the
// delete put them; a record whose number went to a new record meanwhile makes the backup start
// again, so that no record is archived with another's documents.
void TestBackup::documentsAgreeWithRowsChangedMeanwhile() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    for (int n = 1; n <= 4; ++n)
        rw.store({.srNo = n,
                  .name = u"R%1"_s.arg(n),
                  .serial = u"S%1"_s.arg(n),
                  .idFile = u"id.pdf"_s,
                  .addrFile = u"addr.png"_s},
                 QByteArray(70000, char('a' + n)));
    const auto rowsBefore = records(*rw.fx.db);
    const auto documentsBefore = documents(rw.fx.folder);
    const QString archive = rw.fx.folder + u"/midway.tar"_s;
    int snapshots = 0;
    QVERIFY(backup::write(*rw.fx.db, rw.fx.folder, archive, u"1"_s, [&] {
                if (++snapshots == 1)
                    QVERIFY(DeletedRecords::deleteRecord(*rw.fx.db, rw.fx.folder, 2, rw.fx.clock->now()).deleted);
            }).ok);
    QCOMPARE(snapshots, 1);
    const Restored deleted = restoredFrom(rw, backend, archive, u"deleted"_s);
    QVERIFY(records(*deleted.db) == rowsBefore);
    QCOMPARE(documents(deleted.folder), documentsBefore);

    // The highest record deleted and its number given to a new record with documents of its own.
    const QString again = rw.fx.folder + u"/again.tar"_s;
    snapshots = 0;
    QVERIFY(backup::write(*rw.fx.db, rw.fx.folder, again, u"1"_s, [&] {
                if (++snapshots > 1)
                    return;
                QVERIFY(DeletedRecords::deleteRecord(*rw.fx.db, rw.fx.folder, 4, rw.fx.clock->now()).deleted);
                StoreStatements::RecordValues values{};
                StoreStatements::valueOf(values, RecordLayout::Nm) = u"Newcomer"_s;
                StoreStatements::valueOf(values, RecordLayout::SerialNo) = u"S9"_s;
                StoreStatements::valueOf(values, RecordLayout::IdPrFlNm) = u"new.pdf"_s;
                int n = 0;
                QCOMPARE(InsertNewRecord(*rw.fx.db, values, n), StoreOutcome::Stored);
                QCOMPARE(n, 4);
                rw.writeFile(rw.idDoc(4, u"new.pdf"_s), "the newcomer's");
            }).ok);
    QCOMPARE(snapshots, 2);
    const Restored renumbered = restoredFrom(rw, backend, again, u"renumbered"_s);
    const auto rows = records(*renumbered.db);
    QVERIFY(rows == records(*rw.fx.db));
    QCOMPARE(rows.value(4)[size_t(RecordLayout::valueIndex(RecordLayout::Nm))], u"Newcomer"_s);
    QCOMPARE(documents(renumbered.folder), documents(rw.fx.folder));
}

// A backup started while the window's save has committed the record but not yet stored its new
// document (here, while the user is asked whether the stored one may be replaced) waits for it: the
// archive holds the record with the document it names, not with the one it replaced.
void TestBackup::backupWaitsForADocumentBeingSaved() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s, .idFile = u"pan.pdf"_s}, "the old scan");
    rw.open();
    rw.selectRecord(1);
    rw.click(rw.w->cmdmodify);
    rw.text(7)->setText(u"99"_s);
    rw.choose(Kind::Id, rw.outsideFile(u"pan.pdf"_s, "the new scan"));
    const QString archive = rw.fx.folder + u"/during-save.tar"_s;
    std::unique_ptr<QProcess> backingUp;
    rw.fx.dialogs->whenNextShown([&] {
        backingUp.reset(testsupport::startDscmgr(
            {u"backup"_s, archive, u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(*rw.fx.db)},
            rw.fx.objects->file()));
        // Long enough for a backup of one record that nothing holds up.
        backingUp->waitForFinished(1500);
    });
    rw.fx.dialogs->queueYes();
    rw.click(rw.w->cmdupdate);
    QVERIFY(backingUp);
    const testsupport::ProgramRun made = testsupport::finishRun(*backingUp, 60000);
    QVERIFY2(made.status == 0, qPrintable(made.err));
    QCOMPARE(rw.readFile(rw.idDoc(1, u"pan.pdf"_s)), QByteArray("the new scan"));
    const Restored copy = restoredFrom(rw, backend, archive, u"copy"_s);
    QCOMPARE(copy.db->openRowSet(u"Select Mobile From DscStore Where SrNo=1"_s).text(0), u"99"_s);
    QCOMPARE(testsupport::readFile(copy.folder + u"/DscDocs/IdProofs/1/pan.pdf"_s), QByteArray("the new scan"));
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
    const backup::Outcome made = backup::write(*rw.fx.db, rw.fx.folder, good, u"1"_s);
    QVERIFY2(made.ok, qPrintable(made.error));
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

// A restore over a register whose document folder, or whose register file, cannot be swapped puts
// back what the steps before it changed: the register and its documents are as they were.
void TestBackup::failedSwapPutsBackWhatWasThere() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s, .idFile = u"pan.pdf"_s}, "as archived");
    const QString archive = rw.fx.folder + u"/out/first.tar"_s;
    QDir().mkpath(rw.fx.folder + u"/out"_s);
    QVERIFY(backup::write(*rw.fx.db, rw.fx.folder, archive, u"1"_s).ok);
    rw.store({.srNo = 2, .name = u"Bala"_s, .serial = u"S2"_s, .addrFile = u"bill.png"_s}, "since");
    rw.writeFile(rw.idDoc(1, u"pan.pdf"_s), "changed since");
    const auto rowsBefore = records(*rw.fx.db);
    const auto documentsBefore = documents(rw.fx.folder);

    QString why;
    const auto address = kyt::DbAddress::parse(testsupport::addressOf(*rw.fx.db), &why);
    QVERIFY2(address, qPrintable(why));
    backup::RestoreTarget over;
    over.folder = rw.fx.folder;
    over.replace = true;
    if (backend == u"sqlite"_s)
        over.sqliteFile = address->path;
    else
        over.serverDb = rw.fx.db;
    QStringList failing{rw.fx.folder + u"/DscDocs"_s};
    if (backend == u"sqlite"_s)
        failing << address->path;
    for (const QString& refused : failing) {
        // Only what the restore brings in is refused: putting back what was there still works.
        over.move = [&](const QString& from, const QString& to) {
            if (to == refused && (from.endsWith(u"/DscDocs"_s) || from.endsWith(u"/register.sqlite"_s) ||
                                  from.endsWith(u".restoring"_s)))
                return false;
            return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
        };
        const backup::Outcome r = backup::restore(archive, over);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(u"cannot be"_s) && !r.error.contains(u"could not all be put back"_s),
                 qPrintable(r.error));
        const auto reopened = kyt::Db::open(*address, &why);
        QVERIFY2(reopened, qPrintable(why));
        QVERIFY(records(*reopened) == rowsBefore);
        QCOMPARE(documents(rw.fx.folder), documentsBefore);
        QCOMPARE(QDir(rw.fx.folder).entryList({u".kytrestore-*"_s, u"*.kytold*"_s}, QDir::AllEntries | QDir::Hidden),
                 QStringList());
    }
    over.move = {};
    QVERIFY(backup::restore(archive, over).ok);
    const auto restored = kyt::Db::open(*address, &why);
    QCOMPARE(records(*restored).keys(), QList<int>{1});
    QCOMPARE(rw.readFile(rw.idDoc(1, u"pan.pdf"_s)), QByteArray("as archived"));
}

// A register whose records and history are empty but whose renewal links are not is no empty
// register: a restore needs --replace, and what was there is backed up before it is replaced.
void TestBackup::rowsBesideTheRecordsAreNotEmpty() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s});
    const QString archive = rw.fx.folder + u"/one.tar"_s;
    QVERIFY(backup::write(*rw.fx.db, rw.fx.folder, archive, u"1"_s).ok);
    const QString folder = rw.fx.folder + u"/linked"_s;
    QDir().mkpath(folder);
    QString why;
    std::shared_ptr<kyt::Db> target = backend == u"sqlite"_s
                                          ? kyt::Db::open(kyt::DbAddress::sqliteFile(folder + u"/KYTDscMgr.db"_s), &why)
                                          : testsupport::openFreshDb(backend, rw.fx.folder, u"linked"_s);
    QVERIFY2(target, qPrintable(why));
    target->execute(StoreStatements::createTable());
    Renewals::ensureTable(*target, u"desk"_s);
    target->execute(u"Insert Into DscRenewals (OldSrNo, NewSrNo) Values (7, 8)"_s);
    const QString address =
        backend == u"sqlite"_s ? u"sqlite:"_s + folder + u"/KYTDscMgr.db"_s : testsupport::addressOf(*target);
    if (backend == u"sqlite"_s)
        target.reset();
    const QStringList into = {u"--folder"_s, folder, u"--db"_s, address};
    const QString registry = rw.fx.objects->file();
    auto refused = testsupport::runDscmgr(QStringList{u"restore"_s, archive} + into, registry);
    QCOMPARE(refused.status, 2);
    QVERIFY2(refused.err.contains(u"not empty"_s), qPrintable(refused.err));
    auto replaced = testsupport::runDscmgr(QStringList{u"restore"_s, archive, u"--replace"_s} + into, registry);
    QCOMPARE(replaced.status, 0);
    const auto after = kyt::Db::open(*kyt::DbAddress::parse(address, &why), &why);
    QVERIFY2(after, qPrintable(why));
    QCOMPARE(records(*after).keys(), QList<int>{1});
    QVERIFY(!Renewals::tableExists(*after) || Renewals::links(*after).isEmpty());
    // The links replaced are in the backup taken first.
    const QStringList saved = QDir(folder).entryList({u"KYTDscMgr-before-restore-*.tar"_s});
    QCOMPARE(saved.size(), 1);
    const Restored back = restoredFrom(rw, backend, folder + u'/' + saved[0], u"back"_s);
    QVERIFY(records(*back.db).isEmpty());
    QCOMPARE(Renewals::links(*back.db).size(), 1);
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

// A backup killed while it writes leaves no file under the name asked for, and its work files go
// with the next backup there.
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
    QVERIFY(filesIn(dir).size() >= 2); // its partial archive and the folder of its copy, until...

    // ...the next backup to the same place removes them.
    auto next = testsupport::runDscmgr(
        {u"backup"_s, archive, u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(*rw.fx.db)},
        rw.fx.objects->file());
    QCOMPARE(next.status, 0);
    QCOMPARE(filesIn(dir), QStringList{u"nightly.tar"_s});
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
