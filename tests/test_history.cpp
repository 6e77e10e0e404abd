// The register's history: one entry per write on every path, in the write's transaction; deleted
// records and their documents coming back; undo in the register window; the history commands.

#include "custody/TokenCustody.h"
#include "register/CustodyDialogs.h"
#include "register/HistoryDialogs.h"
#include "store/BulkImporter.h"
#include "store/DeletedRecords.h"
#include "store/RecordHistory.h"
#include "store/RecordNumbers.h"
#include "support/RegisterWindowHarness.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTreeWidget>

using namespace regtest;
using namespace Qt::StringLiterals;
using testsupport::addBackendColumn;
using testsupport::refuseHistory;
using Change = RecordHistory::Change;

namespace {
StoreStatements::RecordValues values(const QString& name, const QString& serial, const QString& email = {}) {
    return {name, u"Class 3"_s, serial, u"CA"_s, kFrom, kTo, email, u"98"_s, {}, {}, {}, {}, {}, {}, {}};
}

QList<Change> kinds(const QList<RecordHistory::Entry>& entries) {
    QList<Change> out;
    for (const auto& e : entries)
        out << e.change;
    return out;
}

// Record n as its bytes lie in the table, column by column ("null" for NULL), whatever a reader makes of them.
QStringList storedBytes(kyt::Db& db, int n) {
    QString columns;
    for (int i = 0; i < RecordLayout::kValueCount; ++i) {
        const QString c = QLatin1String(RecordLayout::name(RecordLayout::valueField(i)));
        columns += (i ? u","_s : QString()) + u"Case When %1 Is Null Then 'null' Else Hex(%1) End"_s.arg(c);
    }
    kyt::RowSet rs = db.openRowSet(u"Select %1 From DscStore Where SrNo=%2"_s.arg(columns).arg(n));
    QStringList bytes;
    for (int i = 0; !rs.eof() && i < RecordLayout::kValueCount; ++i)
        bytes << rs.text(i);
    return bytes;
}

QByteArray hashOf(const QString& path) {
    return QCryptographicHash::hash(testsupport::readFile(path), QCryptographicHash::Sha256);
}

template <class T> T* waitForDialog(QWidget* parent) {
    T* dialog = nullptr;
    if (!QTest::qWaitFor([&] { return (dialog = parent->findChild<T*>()) && dialog->isVisible(); }))
        return nullptr;
    return dialog;
}
} // namespace

class TestHistory : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void everyStoreWriteLeavesOneEntry_data() { addBackendColumn(); }
    void everyStoreWriteLeavesOneEntry();
    void unwritableEntryRollsBackTheChange_data() { addBackendColumn(); }
    void unwritableEntryRollsBackTheChange();
    void unwritableEntryRefusesRestoreUndoAndMovements_data() { addBackendColumn(); }
    void unwritableEntryRefusesRestoreUndoAndMovements();
    void twoDesksLeaveTwoEntriesInOrder_data() { addBackendColumn(); }
    void twoDesksLeaveTwoEntriesInOrder();
    void twoDesksRestoreOneDeleteOnce_data() { addBackendColumn(); }
    void twoDesksRestoreOneDeleteOnce();
    void deleteThenRestoreInTheWindow_data() { addBackendColumn(); }
    void deleteThenRestoreInTheWindow();
    void undoTakesBackSaveAndDelete_data() { addBackendColumn(); }
    void undoTakesBackSaveAndDelete();
    void historyShownOnTheForm_data() { addBackendColumn(); }
    void historyShownOnTheForm();
    void oldDeletedDocumentsPurgedOnOpening();
    void commands_data() { addBackendColumn(); }
    void commands();
};

// Insert, update, an import that carries details over, delete and restore each write exactly one
// entry with the values around the change; a deleted record comes back byte for byte under its own number.
void TestHistory::everyStoreWriteLeavesOneEntry() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    kyt::Db& db = *rw.fx.db;
    int n = 0;
    QCOMPARE(InsertNewRecord(db, values(u"Asha"_s, u"S1"_s), n), StoreOutcome::Stored);
    QCOMPARE(RecordHistory::entries(db).size(), 1);
    QCOMPARE(UpdateRecord(db, n, values(u"Asha"_s, u"S1"_s, u"a@x.in"_s)), StoreOutcome::Stored);
    // A refused duplicate writes nothing, entry included.
    int other = 0;
    QCOMPARE(InsertNewRecord(db, values(u"Dup"_s, u"s1"_s), other), StoreOutcome::DuplicateSerial);

    kyt::ErrorTrap trap(rw.fx.cls.get(), u"t"_s, u"T"_s);
    // The renewal of record n (the same holder by its e-mail address), which takes its mobile number over.
    bulk::ImportChoices choices;
    choices.carryOver = true;
    choices.docPath = rw.fx.folder;
    bulk::BulkImporter importer(db, choices, trap);
    importer.begin();
    std::array<QString, bulk::kDetailCount> details = {
        u"Asha"_s, u"Class 3"_s, u"S2"_s, u"CA"_s, kTo, u"31/03/2032 10:00:00"_s, u"a@x.in"_s};
    QCOMPARE(importer.importRow(details, {}), bulk::kImported);
    importer.finish();

    const auto stored = RecordHistory::storedValues(db, n);
    QVERIFY(stored);
    const auto deleted = DeletedRecords::deleteRecord(db, rw.fx.folder, n, rw.fx.clock->now());
    QVERIFY(deleted.deleted);
    QVERIFY(!RecordHistory::storedValues(db, n));
    const auto entry = RecordHistory::lastDelete(db, n);
    QVERIFY(entry);
    const auto restored = DeletedRecords::restore(db, rw.fx.folder, *entry);
    QVERIFY(restored.restored);
    QCOMPARE(restored.srNo, n);
    QCOMPARE(RecordHistory::storedValues(db, n), stored);
    QVERIFY(!RecordHistory::lastDelete(db, n));

    const QList<RecordHistory::Entry> all = RecordHistory::entries(db);
    QCOMPARE(kinds(all),
             (QList<Change>{Change::Restore, Change::Delete, Change::Insert, Change::Update, Change::Insert}));
    const RecordHistory::Entry& update = all[3];
    QCOMPARE(update.srNo, n);
    QVERIFY(!update.host.isEmpty() && !update.login.isEmpty() && update.at.size() == 19);
    const QList<RecordHistory::FieldChange> changed = RecordHistory::changes(update);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0].field, u"E-mail Id"_s);
    QCOMPARE(changed[0].after, u"a@x.in"_s);
    QCOMPARE(all[2].srNo, n + 1);
    QCOMPARE(all[2].after->at(7), u"98"_s);
    QCOMPARE(all[0].takesBack, all[1].id);
}

// A history entry that cannot be written takes its change with it, on every path, and the window
// says so and keeps what was typed.
void TestHistory::unwritableEntryRollsBackTheChange() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    kyt::Db& db = *rw.fx.db;
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s});
    refuseHistory(db);
    int n = 0;
    QVERIFY_THROWS_EXCEPTION(kyt::Error, InsertNewRecord(db, values(u"New"_s, u"S9"_s), n));
    QVERIFY_THROWS_EXCEPTION(kyt::Error, UpdateRecord(db, 1, values(u"Changed"_s, u"S1"_s)));
    QVERIFY_THROWS_EXCEPTION(kyt::Error, DeleteRecord(db, 1, QString()));
    QCOMPARE(rw.numbers(), QList<int>{1});
    QCOMPARE(rw.column(1, "Nm"), u"Asha"_s);

    rw.open();
    QVERIFY(!rw.add(u"Bala"_s, u"S2"_s));
    QVERIFY(rw.said().last().startsWith(u"The record was not saved"_s));
    QCOMPARE(rw.text(0)->text(), u"Bala"_s);
    rw.click(rw.w->cmdcancel);
    rw.writeFile(rw.idDoc(1, u"pan.pdf"_s), "doc");
    rw.selectRecord(1);
    rw.click(rw.w->cmdmodify);
    rw.text(0)->setText(u"Changed"_s);
    rw.click(rw.w->cmdupdate);
    QVERIFY(rw.said().last().startsWith(u"The record was not saved"_s));
    QVERIFY(!rw.w->vs->isEnabled());
    QCOMPARE(rw.text(0)->text(), u"Changed"_s);
    QCOMPARE(rw.column(1, "Nm"), u"Asha"_s);
    rw.click(rw.w->cmdcancel);
    rw.deleteRecord(1);
    QVERIFY(rw.said().last().startsWith(u"The certificate was not deleted"_s));
    QCOMPARE(rw.numbers(), QList<int>{1});
    QVERIFY(QFileInfo::exists(rw.idDoc(1, u"pan.pdf"_s)));
}

// Restores, the undo of a save and a token's movements are refused with their entry, from the
// window and from the command line alike: the register and the kept documents stay as they were,
// and the user is told.
void TestHistory::unwritableEntryRefusesRestoreUndoAndMovements() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    kyt::Db& db = *rw.fx.db;
    rw.store({.srNo = 1, .name = u"Asha"_s, .serial = u"S1"_s, .email = u"old@x.in"_s});
    rw.store({.srNo = 2, .name = u"Bala"_s, .serial = u"S2"_s, .idFile = u"pan.pdf"_s});
    rw.open();
    rw.deleteRecord(2);
    rw.selectRecord(1);
    rw.click(rw.w->cmdmodify);
    rw.text(6)->setText(u"new@x.in"_s);
    rw.click(rw.w->cmdupdate);
    const QString kept = rw.fx.folder + u"/DscDocs/"_s + RecordHistory::lastDelete(db, 2)->documents;
    const qsizetype entries = RecordHistory::entries(db).size();
    refuseHistory(db);
    const auto told = [&](const QString& start) {
        return QTest::qWaitFor(
            [&] { return rw.said().last().startsWith(start) && rw.said().last().contains(u"history refused"_s); });
    };

    QTest::keyClick(rw.w->vs, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY2(told(u"Nothing was undone: "_s), qPrintable(rw.said().last()));
    rw.click(rw.w->cmddeleted);
    auto* deleted = waitForDialog<RecentlyDeletedDialog>(rw.w);
    QVERIFY(deleted);
    rw.click(deleted->cmdrestore);
    QVERIFY2(told(u"The record was not restored: "_s), qPrintable(rw.said().last()));
    QCOMPARE(deleted->lstdeleted->topLevelItemCount(), 1);
    rw.click(deleted->cmdclose);
    rw.selectRecord(1);
    rw.click(rw.w->cmdhandover);
    auto* move = waitForDialog<TokenMoveDialog>(rw.w);
    QVERIFY(move);
    QTest::keyClicks(move->txtcustodyname, u"Ramesh"_s);
    QTest::keyClick(move->txtcustodyname, Qt::Key_Return);
    QVERIFY2(told(u"The movement was not recorded: "_s), qPrintable(rw.said().last()));
    QVERIFY(move->isVisible());
    QTest::keyClick(move->txtcustodyname, Qt::Key_Escape);
    QTRY_VERIFY(!rw.w->findChild<TokenMoveDialog*>());
    QCOMPARE(rw.w->lbltoken->text(), u"Token: Not recorded"_s);

    const QStringList where = {u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(db)};
    const auto restored =
        testsupport::runDscmgr(QStringList{u"restore-deleted"_s, u"2"_s} + where, rw.fx.objects->file());
    QCOMPARE(restored.status, 2);
    QVERIFY2(restored.err.startsWith(u"dscmgr: the record was not restored: "_s), qPrintable(restored.err));
    for (const QStringList& movement : {QStringList{u"out"_s, u"1"_s, u"--to"_s, u"Ramesh"_s},
                                        QStringList{u"in"_s, u"1"_s, u"--place"_s, u"Drawer 3"_s}}) {
        const auto moved = testsupport::runDscmgr(QStringList{u"custody"_s} + movement + where, rw.fx.objects->file());
        QCOMPARE(moved.status, 2);
        QVERIFY2(moved.err.startsWith(u"dscmgr: the movement was not recorded: "_s), qPrintable(moved.err));
    }

    QCOMPARE(rw.numbers(), QList<int>{1});
    QCOMPARE(rw.column(1, "Email"), u"new@x.in"_s);
    QCOMPARE(RecordHistory::entries(db).size(), entries);
    QVERIFY(custody::movements(db, 1).isEmpty());
    QVERIFY(!QFileInfo::exists(rw.idDoc(2)));
    QCOMPARE(rw.readFile(kept + u"/IdProofs/pan.pdf"_s), QByteArray("stored"));
}

// Two desks changing one record: two entries, the later one's "before" being the earlier one's "after".
void TestHistory::twoDesksLeaveTwoEntriesInOrder() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    QString why;
    const std::shared_ptr<kyt::Db> second = testsupport::openAnotherDesk(*rw.fx.db, &why);
    QVERIFY2(second, qPrintable(why));
    int n = 0;
    QCOMPARE(InsertNewRecord(*rw.fx.db, values(u"Asha"_s, u"S1"_s), n), StoreOutcome::Stored);
    QCOMPARE(UpdateRecord(*rw.fx.db, n, values(u"Asha"_s, u"S1"_s, u"first@x.in"_s)), StoreOutcome::Stored);
    QCOMPARE(UpdateRecord(*second, n, values(u"Asha"_s, u"S1"_s, u"second@x.in"_s)), StoreOutcome::Stored);
    const QList<RecordHistory::Entry> entries = RecordHistory::entries(*rw.fx.db, n);
    QCOMPARE(kinds(entries), (QList<Change>{Change::Update, Change::Update, Change::Insert}));
    QCOMPARE(entries[0].before->at(6), u"first@x.in"_s);
    QCOMPARE(entries[0].after->at(6), u"second@x.in"_s);
    QCOMPARE(entries[1].after->at(6), u"first@x.in"_s);
    QVERIFY(entries[0].id > entries[1].id);
}

// Two desks restore one delete, both having listed it before either restored it. The second is
// refused, whether the first brought it back under its own number or under a new one, and writes
// nothing: no second copy of the record (one without a serial number included), no entry, and the
// documents stay where the first restore put them.
void TestHistory::twoDesksRestoreOneDeleteOnce() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    QString why;
    const std::shared_ptr<kyt::Db> second = testsupport::openAnotherDesk(*rw.fx.db, &why);
    QVERIFY2(second, qPrintable(why));
    rw.store({.srNo = 1, .name = u"Asha"_s, .idFile = u"pan.pdf"_s}, "pan"); // no serial number
    rw.store({.srNo = 2, .name = u"Bala"_s, .serial = u"S2"_s, .addrFile = u"bill.png"_s}, "bill");

    struct Round {
        int deleted;
        bool takenMeanwhile;
        int back;
        QString refused;
    };
    for (const Round& round : {Round{1, false, 1, u"Sr. No. 1 has already been restored"_s},
                               Round{2, true, 3, u"Sr. No. 2 has already been restored, as Sr. No. 3"_s}}) {
        QVERIFY(DeletedRecords::deleteRecord(*rw.fx.db, rw.fx.folder, round.deleted, rw.fx.clock->now()).deleted);
        const auto seenHere = RecordHistory::lastDelete(*rw.fx.db, round.deleted);
        const auto seenThere = RecordHistory::lastDelete(*second, round.deleted);
        QVERIFY(seenHere && seenThere);
        if (round.takenMeanwhile)
            rw.store({.srNo = round.deleted, .name = u"Chitra"_s, .serial = u"S3"_s});
        const auto first = DeletedRecords::restore(*rw.fx.db, rw.fx.folder, *seenHere);
        QVERIFY(first.restored);
        QCOMPARE(first.srNo, round.back);
        const auto rows = rw.numbers();
        const auto entries = RecordHistory::entries(*rw.fx.db);
        const auto documents = QDir(rw.fx.folder + u"/DscDocs/.deleted"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);

        const auto late = DeletedRecords::restore(*second, rw.fx.folder, *seenThere);
        QVERIFY(!late.restored);
        QCOMPARE(late.outcome, StoreOutcome::AlreadyRestored);
        QCOMPARE(DeletedRecords::refusedText(round.deleted, late), round.refused);
        QCOMPARE(rw.numbers(), rows);
        QCOMPARE(RecordHistory::entries(*second).size(), entries.size());
        QCOMPARE(RecordHistory::entries(*rw.fx.db).first().id, entries.first().id);
        QCOMPARE(QDir(rw.fx.folder + u"/DscDocs/.deleted"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot), documents);
    }
    QCOMPARE(rw.readFile(rw.idDoc(1, u"pan.pdf"_s)), QByteArray("pan"));
    QCOMPARE(rw.readFile(rw.addrDoc(3, u"bill.png"_s)), QByteArray("bill"));
}

// Delete keeps the documents aside; "Recently Deleted..." brings the record back with them, under
// its own number, or under a new one that the message names when its own is taken. The window's
// delete and the restore each leave one entry.
void TestHistory::deleteThenRestoreInTheWindow() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    const Record r{.srNo = 3,
                   .name = u"Asha"_s,
                   .serial = u"S1"_s,
                   .email = u"a'b@x.in"_s,
                   .idType = u"PAN Card"_s,
                   .idFile = u"pan.pdf"_s,
                   .addrFile = u"bill.png"_s};
    rw.store(r, QByteArray(5000, 'p'));
    rw.store({.srNo = 4, .name = u"Bala"_s, .serial = u"S2"_s});
    // Columns left NULL by whatever wrote the record, beside empty ones, come back NULL.
    rw.fx.db->execute(u"Update DscStore Set TelNo=Null, IdPrNo=Null, DtFrom=Null Where SrNo=3"_s);
    const QStringList before = storedBytes(*rw.fx.db, 3);
    QCOMPARE(before.count(u"null"_s), 3);
    QVERIFY(before.contains(QString()));
    const QByteArray idHash = hashOf(rw.idDoc(3, r.idFile));
    RecordHistory::ensureTable(*rw.fx.db);
    rw.open();

    for (int round = 0; round < 2; ++round) {
        const qsizetype entries = RecordHistory::entries(*rw.fx.db).size();
        rw.deleteRecord(3);
        QCOMPARE(rw.numbers(), QList<int>{4});
        QCOMPARE(RecordHistory::entries(*rw.fx.db).size(), entries + 1);
        QVERIFY(!QFileInfo::exists(rw.idDoc(3)));
        QVERIFY(QDir(rw.fx.folder + u"/DscDocs/.deleted"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() > 0);
        if (round == 1) // its number is taken meanwhile
            rw.store({.srNo = 3, .name = u"Chitra"_s, .serial = u"S3"_s});
        rw.click(rw.w->cmddeleted);
        auto* dialog = waitForDialog<RecentlyDeletedDialog>(rw.w);
        QVERIFY(dialog);
        QCOMPARE(dialog->lstdeleted->topLevelItemCount(), 1);
        QCOMPARE(dialog->lstdeleted->topLevelItem(0)->text(1), u"Asha"_s);
        rw.click(dialog->cmdrestore);
        const int back = round == 0 ? 3 : 5;
        QCOMPARE(rw.said().last(), round == 0 ? u"The record was restored as Sr. No. 3."_s
                                              : u"Sr. No. 3 is in use now, so the record was restored as Sr. No. 5."_s);
        QCOMPARE(dialog->lstdeleted->topLevelItemCount(), 0);
        QCOMPARE(RecordHistory::entries(*rw.fx.db).size(), entries + 2);
        rw.click(dialog->cmdclose);
        QCOMPARE(storedBytes(*rw.fx.db, back), before);
        QCOMPARE(hashOf(rw.idDoc(back, r.idFile)), idHash);
        QCOMPARE(rw.readFile(rw.addrDoc(back, r.addrFile)), QByteArray(5000, 'p'));
        QCOMPARE(rw.w->vs->TextMatrix(rw.w->vs->Row(), 1), QString::number(back));
        if (round == 0)
            rw.fx.clock->set(rw.fx.clock->now().addSecs(60));
    }

    // Documents purged meanwhile: the record comes back, and the message names what did not.
    rw.deleteRecord(5);
    QCOMPARE(DeletedRecords::purge(rw.fx.folder, 0, rw.fx.clock->now().addSecs(1)), 1);
    rw.click(rw.w->cmddeleted);
    auto* dialog = waitForDialog<RecentlyDeletedDialog>(rw.w);
    QVERIFY(dialog);
    rw.click(dialog->cmdrestore);
    QCOMPARE(rw.said().last(),
             u"The record was restored as Sr. No. 5. Its documents could not all be put back: The ID proof "
             u"\"pan.pdf\" could not be brought back: the documents kept at the delete have been purged. The address "
             u"proof \"bill.png\" could not be brought back: the documents kept at the delete have been purged."_s);
    rw.click(dialog->cmdclose);
    QCOMPARE(storedBytes(*rw.fx.db, 5), before);
}

// Ctrl+Z in list mode takes back the window's last save or delete, once, each undo with one entry.
void TestHistory::undoTakesBackSaveAndDelete() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.store({.srNo = 1,
              .name = u"Asha"_s,
              .serial = u"S1"_s,
              .email = u"old@x.in"_s,
              .idFile = u"pan.pdf"_s,
              .addrFile = u"bill.png"_s});
    rw.open();
    const auto entryCount = [&] { return RecordHistory::entries(*rw.fx.db).size(); };
    qsizetype entries = 0;
    // Undoes and checks that it wrote `written` entries.
    auto undo = [&](qsizetype written = 1) {
        entries = entryCount();
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : rw.w.data(), Qt::Key_Z, Qt::ControlModifier);
        // A button's shortcut presses it and lets go a moment later, as a click does.
        QVERIFY(QTest::qWaitFor([&] { return !rw.w->cmdundo->isDown(); }));
        QCOMPARE(entryCount(), entries + written);
    };

    QVERIFY(rw.add(u"Bala"_s, u"S2"_s));
    QCOMPARE(rw.numbers(), (QList<int>{1, 2}));
    undo();
    QVERIFY2(rw.numbers() == QList<int>{1}, qPrintable(rw.said().join(u'|')));
    undo(0);
    QCOMPARE(rw.said().last(), u"There is nothing to undo."_s);

    rw.selectRecord(1);
    rw.click(rw.w->cmdmodify);
    rw.text(6)->setText(u"new@x.in"_s);
    rw.click(rw.w->cmdupdate);
    QCOMPARE(rw.column(1, "Email"), u"new@x.in"_s);
    undo();
    QCOMPARE(rw.column(1, "Email"), u"old@x.in"_s);

    rw.deleteRecord(1);
    QVERIFY(rw.numbers().isEmpty());
    undo();
    QCOMPARE(rw.numbers(), QList<int>{1});
    QCOMPARE(rw.readFile(rw.idDoc(1, u"pan.pdf"_s)), QByteArray("stored"));

    // A save that replaces the ID proof and clears the address proof keeps both aside, named by its
    // entry; its undo brings them back and puts the new document aside in turn.
    const QByteArray panHash = hashOf(rw.idDoc(1, u"pan.pdf"_s));
    rw.selectRecord(1);
    rw.click(rw.w->cmdmodify);
    rw.choose(Kind::Id, rw.outsideFile(u"voter.pdf"_s, "voter"));
    rw.fx.dialogs->queueYes();
    rw.click(rw.w->proofClearButton(Kind::Addr));
    rw.click(rw.w->cmdupdate);
    QCOMPARE(rw.column(1, "IdPrFlNm"), u"voter.pdf"_s);
    QCOMPARE(QDir(rw.idDoc(1)).entryList(QDir::Files), QStringList{u"voter.pdf"_s});
    QVERIFY(!QFileInfo::exists(rw.addrDoc(1, u"bill.png"_s)));
    const QString kept = rw.fx.folder + u"/DscDocs/"_s + RecordHistory::entries(*rw.fx.db, 1).first().documents;
    QCOMPARE(hashOf(kept + u"/IdProofs/pan.pdf"_s), panHash);
    undo();
    QCOMPARE(rw.column(1, "IdPrFlNm"), u"pan.pdf"_s);
    QCOMPARE(QDir(rw.idDoc(1)).entryList(QDir::Files), QStringList{u"pan.pdf"_s});
    QCOMPARE(hashOf(rw.idDoc(1, u"pan.pdf"_s)), panHash);
    QCOMPARE(rw.readFile(rw.addrDoc(1, u"bill.png"_s)), QByteArray("stored"));
    const QString aside = rw.fx.folder + u"/DscDocs/"_s + RecordHistory::entries(*rw.fx.db, 1).first().documents;
    QCOMPARE(rw.readFile(aside + u"/IdProofs/voter.pdf"_s), QByteArray("voter"));

    // A new file of the same name, written over the old one with the user's consent.
    rw.click(rw.w->cmdmodify);
    rw.choose(Kind::Id, rw.outsideFile(u"pan.pdf"_s, "newer"));
    rw.fx.dialogs->queueYes();
    rw.click(rw.w->cmdupdate);
    QCOMPARE(rw.readFile(rw.idDoc(1, u"pan.pdf"_s)), QByteArray("newer"));
    undo();
    QCOMPARE(hashOf(rw.idDoc(1, u"pan.pdf"_s)), panHash);

    // Not in entry mode: the shortcut belongs to the list.
    rw.click(rw.w->cmdmodify);
    rw.text(6)->setText(u"typed"_s);
    undo(0);
    QCOMPARE(rw.numbers(), QList<int>{1});
    QVERIFY(!rw.w->vs->isEnabled());
}

// The window's add and modify each leave one entry; "History..." lists the record's entries newest
// first, each with its changed fields.
void TestHistory::historyShownOnTheForm() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    rw.open();
    QVERIFY(rw.add(u"Asha"_s, u"S1"_s));
    rw.click(rw.w->cmdmodify);
    rw.text(7)->setText(u"99"_s);
    rw.click(rw.w->cmdupdate);
    rw.click(rw.w->cmdhistory);
    auto* dialog = waitForDialog<HistoryDialog>(rw.w);
    QVERIFY(dialog);
    QCOMPARE(dialog->lsthistory->topLevelItemCount(), 2);
    QTreeWidgetItem* newest = dialog->lsthistory->topLevelItem(0);
    QCOMPARE(newest->text(1), u"update"_s);
    QCOMPARE(newest->childCount(), 1);
    QCOMPARE(newest->child(0)->text(0), u"Mobile No."_s);
    QCOMPARE(newest->child(0)->text(1), u" \u2192 99"_s);
    QCOMPARE(dialog->lsthistory->topLevelItem(1)->text(1), u"insert"_s);
    rw.click(dialog->cmdclose);
}

// Documents deleted longer ago than the setting go when the window opens; newer ones and folders
// of other names stay.
void TestHistory::oldDeletedDocumentsPurgedOnOpening() {
    RegisterWindow rw;
    const QString kept = rw.fx.folder + u"/DscDocs/.deleted/"_s;
    const QDateTime now = rw.fx.clock->now();
    rw.writeFile(kept + u"1-"_s + now.addDays(-31).toString(u"yyyyMMdd-HHmmss"_s) + u"/IdProofs/a.pdf"_s, "a");
    rw.writeFile(kept + u"2-"_s + now.addDays(-29).toString(u"yyyyMMdd-HHmmss"_s) + u"/IdProofs/b.pdf"_s, "b");
    rw.writeFile(kept + u"mine/c.pdf"_s, "c");
    testsupport::writeFile(rw.fx.folder + u"/Confg.ini"_s, "[History]\nKeepDeletedDays=30\n");
    rw.open();
    QStringList left = QDir(kept).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    left.sort();
    QCOMPARE(left.size(), 2);
    QVERIFY(left[0].startsWith(u"2-"_s));
    QCOMPARE(left[1], u"mine"_s);
}

// `dscmgr history` prints what changed, as text or JSON; `restore-deleted` brings a record back.
void TestHistory::commands() {
    QFETCH(QString, backend);
    RegisterWindow rw(backend);
    int n = 0;
    QCOMPARE(InsertNewRecord(*rw.fx.db, values(u"Asha"_s, u"S1"_s), n), StoreOutcome::Stored);
    QCOMPARE(UpdateRecord(*rw.fx.db, n, values(u"Asha"_s, u"S1"_s, u"a@x.in"_s)), StoreOutcome::Stored);
    rw.writeFile(rw.idDoc(n, u"pan.pdf"_s), "doc");
    QVERIFY(DeletedRecords::deleteRecord(*rw.fx.db, rw.fx.folder, n, rw.fx.clock->now()).deleted);
    const QStringList where = {u"--folder"_s, rw.fx.folder, u"--db"_s, testsupport::addressOf(*rw.fx.db)};
    const QString registry = rw.fx.objects->file();

    auto json = testsupport::runDscmgr(QStringList{u"history"_s, QString::number(n), u"--json"_s} + where, registry);
    QCOMPARE(json.status, 0);
    const QJsonArray entries = QJsonDocument::fromJson(json.out).array();
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[0][u"change"_s].toString(), u"delete"_s);
    QCOMPARE(entries[1][u"changes"_s][0][u"after"_s].toString(), u"a@x.in"_s);
    // The insert dated back: a date before it lists all three, one between it and the others two.
    rw.fx.db->execute(u"Update DscHistory Set ChangedAt='2020-01-05 10:00:00' Where ChangeKind='insert'"_s);
    auto since = [&](const QString& date) {
        auto r = testsupport::runDscmgr(QStringList{u"history"_s, u"--since"_s, date, u"--json"_s} + where, registry);
        return r.status == 0 ? int(QJsonDocument::fromJson(r.out).array().size()) : -r.status;
    };
    QCOMPARE(since(u"2020-01-01"_s), 3);
    QCOMPARE(since(u"2020-01-05"_s), 3);
    QCOMPARE(since(u"2020-01-06"_s), 2);
    QCOMPARE(since(u"2999-01-01"_s), 0);
    auto text = testsupport::runDscmgr(QStringList{u"history"_s, u"--since"_s, u"2999-01-01"_s} + where, registry);
    QCOMPARE(text.status, 0);
    QVERIFY(text.out.isEmpty());
    // As text, a changed field reads as on the form: old, an arrow, new.
    text = testsupport::runDscmgr(QStringList{u"history"_s, QString::number(n)} + where, registry);
    QVERIFY2(text.lines.contains(u"    E-mail Id:  \u2192 a@x.in"_s), qPrintable(text.lines.join(u'|')));
    auto bad = testsupport::runDscmgr(QStringList{u"history"_s, u"--since"_s, u"soon"_s} + where, registry);
    QCOMPARE(bad.status, 2);

    auto restored = testsupport::runDscmgr(QStringList{u"restore-deleted"_s, QString::number(n)} + where, registry);
    QCOMPARE(restored.status, 0);
    QCOMPARE(restored.lines.value(0), u"The record was restored as Sr. No. %1."_s.arg(n));
    QCOMPARE(rw.column(n, "Email"), u"a@x.in"_s);
    QCOMPARE(rw.readFile(rw.idDoc(n, u"pan.pdf"_s)), QByteArray("doc"));
    auto again = testsupport::runDscmgr(QStringList{u"restore-deleted"_s, QString::number(n)} + where, registry);
    QCOMPARE(again.status, 2);
    QVERIFY(again.err.contains(u"no deleted record"_s));
}

QTEST_MAIN(TestHistory)
#include "test_history.moc"
