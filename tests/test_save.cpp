// Saving a record from the register window: the checks before anything is written, the record
// number, the statement texts as stored, and where the list stands afterwards.

#include "support/RegisterWindowHarness.h"

#include <future>
#include <QSqlQuery>
#include <thread>

using namespace regtest;
using namespace Qt::StringLiterals;
using testsupport::addBackendColumn;
using testsupport::backendNames;

class TestSave : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void checks_data();
    void checks();
    void duplicateSerials_data() { addBackendColumn(); }
    void duplicateSerials();
    void numbersAfterDeletes_data() { addBackendColumn(); }
    void numbersAfterDeletes();
    void textsStoredByteForByte_data() { addBackendColumn(); }
    void textsStoredByteForByte();
    void listAfterSave_data() { addBackendColumn(); }
    void listAfterSave();
    void recordHiddenByFilter_data() { addBackendColumn(); }
    void recordHiddenByFilter();
    void recordTakenAwayMeanwhile_data() { addBackendColumn(); }
    void recordTakenAwayMeanwhile();
    void noNumberLeft();
    void failedCommitKeepsTheEntries();
    void saveRacingAnotherDesk_data() { addBackendColumn(); }
    void saveRacingAnotherDesk();
};

// Each refused case fails exactly one check, or several where only the first may speak; an empty
// message means the record is saved. A record with serial "S1" exists.
void TestSave::checks_data() {
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QString early = u"Invalid Date. Date should be on or after 01/04/2010 10:00:00"_s;
    const QString tooLong = u"%1 longer than %2 characters. Nothing you entered is lost: change it and save again."_s;
    struct Case {
        const char* tag;
        QString name, from, to, serial, message, focus;
    };
    const QList<Case> cases = {
        {"empty name", "", kFrom, kTo, "", "Specify Certificate Name.", "txtfields(0)"},
        {"from incomplete", "A", "01/04/2010", kTo, "", "Specify Valid Date From Certificate Valid.", "txtdts(0)"},
        {"from empty", "A", "", kTo, "", "Specify Valid Date From Certificate Valid.", "txtdts(0)"},
        {"to incomplete", "A", kFrom, "31/03/2030 10:00", "", "Specify Valid Date To Certificate Valid.", "txtdts(1)"},
        {"to one second early", "A", kFrom, "01/04/2010 09:59:59", "", early, "txtdts(1)"},
        {"to a day early, later hour", "A", kFrom, "31/03/2010 23:00:00", "", early, "txtdts(1)"},
        {"to a year early, later month", "A", kFrom, "01/12/2009 10:00:00", "", early, "txtdts(1)"},
        {"duplicate serial", "A", kFrom, kTo, "S1", "Duplicate Serial Number.", "txtfields(2)"},
        {"name before dates", "", "01/04", "", "S1", "Specify Certificate Name.", "txtfields(0)"},
        {"from before duplicate", "A", "01/04/2010", kTo, "S1", "Specify Valid Date From Certificate Valid.",
         "txtdts(0)"},
        {"to before range", "A", kFrom, "", "S1", "Specify Valid Date To Certificate Valid.", "txtdts(1)"},
        {"range before duplicate", "A", kFrom, "01/01/2000 00:00:00", "S1", early, "txtdts(1)"},
        // What a column cannot hold as typed is refused on both databases, never cut.
        {"name too long", QString(101, u'N'), kFrom, kTo, "", tooLong.arg(u"\"Certificate Name\" is"_s, u"100"_s),
         "txtfields(0)"},
        {"serial too long", "A", kFrom, kTo, QString(101, u'7'), tooLong.arg(u"\"Serial No.\" is"_s, u"100"_s),
         "txtfields(2)"},
        {"NUL in the name", u"A"_s + QChar(0) + u"B"_s, kFrom, kTo, "",
         u"\"Certificate Name\" holds a NUL character, which cannot be stored. Nothing you entered is lost: change "
         u"it and save again."_s,
         "txtfields(0)"},
        // Accepted: a blank is a name (nothing is trimmed), and the range compares moments.
        {"equal moments", " ", kFrom, kFrom, "", "", ""},
        {"later day, earlier hour", " ", kFrom, "02/04/2010 08:00:00", "", "", ""},
        {"one second later", " ", kFrom, "01/04/2010 10:00:01", "", "", ""},
        {"longest name", QString(100, u'N'), kFrom, kTo, "", "", ""},
    };
    for (const QString& backend : backendNames())
        for (const Case& c : cases)
            QTest::newRow(qPrintable(backend + u": "_s + QLatin1String(c.tag)))
                << backend << c.name << c.from << c.to << c.serial << c.message << c.focus;
}

void TestSave::checks() {
    QFETCH(QString, backend);
    QFETCH(QString, name);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, serial);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "Existing", .serial = "S1"});
    h.open();
    h.click(h.w->cmdadd);
    h.fill(name, from, to, serial);
    h.click(h.w->cmdupdate);

    if (message.isEmpty()) {
        QCOMPARE(h.said(), QStringList());
        QCOMPARE(h.numbers(), (QList<int>{1, 2}));
        QCOMPARE(h.column(2, "Nm"), name);
        QCOMPARE(h.w->vs->TextMatrix(h.w->vs->Row(), 7), to);
        return;
    }
    QCOMPARE(h.said(), QStringList{message});
    QCOMPARE(h.w->focusWidget() ? h.w->focusWidget()->objectName() : QString(), focus);
    QCOMPARE(h.numbers(), QList<int>{1});
    QVERIFY2(!h.w->vs->isEnabled(), "a refused save stays in entry mode");
    QCOMPARE(h.text(0)->text(), name);
    QVERIFY(!QFileInfo::exists(h.fx.folder + u"/DscDocs"_s));
}

void TestSave::duplicateSerials() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "First", .serial = "S1"});
    h.store({.srNo = 2, .name = "Second", .serial = "S'\\2"});
    h.store({.srNo = 3, .name = "No serial"});
    h.store({.srNo = 0, .name = "Zero", .serial = "Z0"});
    h.open();

    // Adding: a serial number another record has is refused, quotes and backslashes included.
    QVERIFY(!h.add(u"New"_s, u"S'\\2"_s));
    QCOMPARE(h.said(), QStringList{u"Duplicate Serial Number."_s});
    h.click(h.w->cmdcancel);
    h.fx.dialogs->clear();

    // An empty serial number is never looked up, though another record has one too.
    QVERIFY(h.add(u"Also no serial"_s));
    QCOMPARE(h.column(4, "SerialNo"), QString());

    // Changing record 2 and keeping its own serial number passes: its own row is excluded.
    h.selectRecord(2);
    h.click(h.w->cmdmodify);
    h.text(0)->setText(u"Second, renamed"_s);
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said(), QStringList());
    QCOMPARE(h.column(2, "Nm"), u"Second, renamed"_s);

    // Changing record 2 to record 1's serial number is refused and leaves the table as it was.
    h.selectRecord(2);
    h.click(h.w->cmdmodify);
    h.text(2)->setText(u"s1 "_s); // letter case and trailing blanks do not count, on either backend
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said(), QStringList{u"Duplicate Serial Number."_s});
    QCOMPARE(h.column(2, "SerialNo"), u"S'\\2"_s);
    h.click(h.w->cmdcancel);
    h.fx.dialogs->clear();

    // A record numbered 0 by another program is not its own duplicate either.
    h.selectRecord(0);
    h.click(h.w->cmdmodify);
    h.text(0)->setText(u"Zero, renamed"_s);
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said(), QStringList());
    QCOMPARE(h.column(0, "Nm"), u"Zero, renamed"_s);
}

// A gap below the highest number is never filled; the highest, once deleted, is taken again, and
// the new record does not inherit its documents.
void TestSave::numbersAfterDeletes() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "One"});
    h.store({.srNo = 2, .name = "Two"});
    h.store({.srNo = 3, .name = "Three", .from = "01/01/2011 00:00:00", .idFile = "pan.pdf", .addrFile = "bill.pdf"});
    h.open();

    h.deleteRecord(3);
    QVERIFY(h.add(u"Three again"_s));
    QCOMPARE(h.numbers(), (QList<int>{1, 2, 3}));
    QCOMPARE(h.column(3, "IdPrFlNm"), QString());
    QCOMPARE(h.column(3, "AddrPrFlNm"), QString());
    QVERIFY(!QFileInfo::exists(h.idDoc(3)));
    QVERIFY(!QFileInfo::exists(h.addrDoc(3)));
    QCOMPARE(h.text(0)->text(), u"Three again"_s);
    QVERIFY(!h.w->cmdIdProofV->isVisible());

    h.deleteRecord(2);
    QVERIFY(h.add(u"Four"_s));
    QCOMPARE(h.numbers(), (QList<int>{1, 3, 4}));
    QCOMPARE(h.column(4, "Nm"), u"Four"_s);
}

// Quotes, backslashes, wildcards and text beyond Latin-1 come back as typed, also on a server whose
// databases hold Western European text unless told otherwise.
void TestSave::textsStoredByteForByte() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    if (backend == "mysql"_L1) {
        h.fx.db->execute(u"Drop Table DscStore"_s);
        h.fx.db->execute(u"Alter Database Character Set latin1"_s);
    }
    h.open();
    const QString name = u"O'Brien \\ 'quoted' \\' '' %_ 100% \"q\" Ünïcødé ऋषि 😀"_s;
    const QString serial = u"AB\\'01\\n%"_s;
    const QString type = u"Class '3' \\ Sign"_s;
    const QString email = u"o'brien@example.com"_s;
    h.click(h.w->cmdadd);
    h.fill(name, kFrom, kTo, serial);
    h.w->cbodsctype->setEditText(type);
    h.text(6)->setText(email);
    h.text(7)->setText(u"  98 "_s);
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said(), QStringList());
    QCOMPARE(h.w->vs->TextMatrix(1, 6), kFrom);
    const auto verifyStored = [&] {
        QCOMPARE(h.column(1, "Nm"), name);
        QCOMPARE(h.column(1, "SerialNo"), serial);
        QCOMPARE(h.column(1, "Typ"), type);
        QCOMPARE(h.column(1, "Email"), email);
        QCOMPARE(h.column(1, "Mobile"), u"  98 "_s);
    };
    verifyStored();

    // The update statement writes them unchanged as well.
    h.selectRecord(1);
    h.click(h.w->cmdmodify);
    h.text(3)->setText(u"C:\\Auth's\\"_s);
    h.click(h.w->cmdupdate);
    QCOMPARE(h.column(1, "IssAuth"), u"C:\\Auth's\\"_s);
    verifyStored();
}

// After a save the list is reloaded, the saved row is current and in view, the window is in list
// mode with the record in the entry controls, and the focus is where the user can go on.
void TestSave::listAfterSave() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    for (int i = 1; i <= 80; ++i)
        h.store({.srNo = i, .name = u"Holder %1"_s.arg(i, 3, 10, QChar(u'0'))});
    h.open();
    QCOMPARE(h.w->vs->Row(), 1);
    // Each save ends with "Flush Tables": the server counts them per connection (SQLite has none).
    const bool server = backend == "mysql"_L1;
    auto flushes = [&] {
        kyt::RowSet rs = h.fx.db->openRowSet(u"Show Session Status Like 'Com_flush'"_s);
        const int count = rs.text(1).toInt();
        rs.close();
        return count;
    };
    const int flushedBefore = server ? flushes() : 0;

    // The new record sorts last (latest start), far below the rows in view.
    h.click(h.w->cmdadd);
    h.fill(u"Latest"_s, u"01/01/2020 00:00:00"_s);
    h.click(h.w->cmdupdate);
    if (server)
        QCOMPARE(flushes(), flushedBefore + 1);
    QCOMPARE(h.w->vs->Rows(), 82);
    QCOMPARE(h.w->vs->Row(), 81);
    QCOMPARE(h.w->vs->TextMatrix(81, 1), u"81"_s);
    const QRect shown = h.w->vs->visualRect(h.w->vs->currentIndex());
    QVERIFY2(h.w->vs->viewport()->rect().contains(shown), "the saved row is scrolled into view");
    QVERIFY(h.w->vs->isEnabled());
    QVERIFY(!h.w->cmdupdate->isVisible());
    QCOMPARE(h.text(0)->text(), u"Latest"_s);
    QCOMPARE(h.w->focusWidget(), h.w->cmdadd);

    // A record moved to the top of the list: it is current and the list starts with it.
    h.selectRecord(81);
    h.click(h.w->cmdmodify);
    h.date(0)->setText(u"01/01/2000 00:00:00"_s);
    h.click(h.w->cmdupdate);
    if (server)
        QCOMPARE(flushes(), flushedBefore + 2);
    QCOMPARE(h.w->vs->Row(), 1);
    QCOMPARE(h.w->vs->TextMatrix(1, 1), u"81"_s);
    QCOMPARE(h.w->vs->TextMatrix(1, 6), u"01/01/2000 00:00:00"_s);
    QCOMPARE(h.w->vs->rowAt(0), 0);
    QCOMPARE(h.w->focusWidget(), h.w->cmdmodify);

    QCOMPARE(h.said(), QStringList());
}

void TestSave::recordHiddenByFilter() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "Expired B", .to = "01/01/2015 00:00:00"});
    h.store({.srNo = 2, .name = "Expired A", .from = "01/01/2009 00:00:00", .to = "01/01/2016 00:00:00"});
    h.open();
    h.click(h.w->options[1]);
    QCOMPARE(h.w->vs->Rows(), 3);
    h.clickRow(2);

    QVERIFY(h.add(u"Still valid"_s));
    QCOMPARE(h.numbers(), (QList<int>{1, 2, 3}));
    QCOMPARE(h.w->vs->Rows(), 3);
    QCOMPARE(h.w->vs->Row(), 1);
    QCOMPARE(h.text(0)->text(), u"Expired A"_s);
    QVERIFY(h.w->options[1]->isChecked());
}

// Another window changes or deletes the record while this one has it open for changing: the save
// asks before overwriting the other change, writes nothing over a deleted record, and keeps every
// entry on screen until then.
void TestSave::recordTakenAwayMeanwhile() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store({.srNo = 1, .name = "Kept"});
    h.store({.srNo = 2, .name = "Gone"});
    h.open();

    h.selectRecord(1);
    h.click(h.w->cmdmodify);
    QTest::keyClicks(h.text(0), u"Mine"_s);
    h.fx.db->execute(u"Update DscStore Set Email='theirs@x.in' Where SrNo=1"_s);
    h.fx.dialogs->queueNo();
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said().size(), 1);
    QVERIFY(h.said().first().startsWith(u"This certificate was changed by someone else"_s));
    QVERIFY(h.w->cmdupdate->isVisible());
    QCOMPARE(h.column(1, "Nm"), u"Kept"_s);
    h.fx.dialogs->queueYes();
    h.click(h.w->cmdupdate);
    QCOMPARE(h.column(1, "Nm"), u"Mine"_s);
    h.fx.dialogs->clear();

    h.selectRecord(2);
    h.click(h.w->cmdmodify);
    QTest::keyClicks(h.text(0), u"Renamed"_s);
    h.fx.db->execute(StoreStatements::deleteRecord(2));
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said().size(), 1);
    QVERIFY(h.said().first().startsWith(u"This certificate has been deleted"_s));
    QVERIFY(h.w->cmdupdate->isVisible());
    QCOMPARE(h.text(0)->text(), u"Renamed"_s);
    QCOMPARE(h.numbers(), QList<int>{1});
}

// A record written by another program holds the largest number there is: a new record is refused
// rather than given a negative number, and what was typed stays on screen.
void TestSave::noNumberLeft() {
    RegisterWindow h;
    h.store({.srNo = std::numeric_limits<qint32>::max(), .name = "Last"});
    h.open();

    QVERIFY(!h.add(u"One more"_s));
    QCOMPARE(h.said().size(), 1);
    QVERIFY(h.said().first().startsWith(u"The register has no record number left after 2147483647"_s));
    QCOMPARE(h.text(0)->text(), u"One more"_s);
    QCOMPARE(h.numbers(), QList<int>{std::numeric_limits<qint32>::max()});
}

// A commit the register refuses (here: a reader keeps the file from being written) is a failed
// save, whether it adds or changes a record: one box says why, the window stays in entry mode with
// what was typed, nothing is stored; once the reader is gone the same entries are saved.
void TestSave::failedCommitKeepsTheEntries() {
    RegisterWindow h;
    h.open();
    h.fx.db->execute(u"PRAGMA journal_mode=DELETE"_s);
    const auto saveWhileRead = [&] {
        {
            QSqlDatabase reader = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"reader"_s);
            reader.setDatabaseName(h.fx.db->connection().databaseName());
            QVERIFY(reader.open());
            QSqlQuery read(reader);
            QVERIFY(read.exec(u"BEGIN"_s) && read.exec(u"Select * From DscStore"_s));
            read.next();
            h.click(h.w->cmdupdate);
            read.finish();
            read.exec(u"COMMIT"_s);
        }
        QSqlDatabase::removeDatabase(u"reader"_s);
        QCOMPARE(h.said().size(), 1);
        QVERIFY2(h.said().first().startsWith(u"The record was not saved: the register is busy with another desk."_s),
                 qPrintable(h.said().first()));
        QVERIFY(h.w->cmdupdate->isVisible());
        h.fx.dialogs->clear();
    };

    h.click(h.w->cmdadd);
    h.fill(u"Waiting"_s, kFrom, kTo, u"W1"_s);
    saveWhileRead();
    QCOMPARE(h.text(0)->text(), u"Waiting"_s);
    QCOMPARE(h.numbers(), QList<int>{});
    h.click(h.w->cmdupdate);
    QCOMPARE(h.numbers(), QList<int>{1});

    h.click(h.w->cmdmodify);
    h.text(0)->setText(u"Changed"_s);
    saveWhileRead();
    QCOMPARE(h.text(0)->text(), u"Changed"_s);
    QCOMPARE(h.column(1, "Nm"), u"Waiting"_s);
    h.click(h.w->cmdupdate);
    QCOMPARE(h.column(1, "Nm"), u"Changed"_s);
    QCOMPARE(h.said(), QStringList());
}

// Another desk stores the same certificate while this window saves it: the window's serial number
// check found nothing, but the check is made again with the write, so the certificate is stored
// once and the window says it is a duplicate.
void TestSave::saveRacingAnotherDesk() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.open();
    const QString address = testsupport::addressOf(*h.fx.db);
    std::promise<void> holding;
    std::thread desk([&] {
        QString error;
        const auto db = kyt::Db::open(*kyt::DbAddress::parse(address, &error), &error);
        kyt::Db::AllocationLock lock(*db);
        holding.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        StoreStatements::RecordValues values;
        values[0] = u"Other Desk"_s;
        values[2] = u"RACE"_s;
        values[4] = kFrom;
        values[5] = kTo;
        db->execute(StoreStatements::insertRecord(7, values));
        lock.commit();
    });
    holding.get_future().wait();
    h.click(h.w->cmdadd);
    h.fill(u"This Desk"_s, kFrom, kTo, u"RACE"_s);
    h.click(h.w->cmdupdate);
    desk.join();
    QCOMPARE(h.said(), QStringList{u"Duplicate Serial Number."_s});
    QCOMPARE(h.text(0)->text(), u"This Desk"_s);
    QCOMPARE(h.numbers(), QList<int>{7});
}

QTEST_MAIN(TestSave)
#include "test_save.moc"
