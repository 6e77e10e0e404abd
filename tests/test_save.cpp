// Saving a record from the register window: the checks before anything is written, the record
// number, the statement texts as stored, and where the list stands afterwards.

#include "RegisterHarness.h"

using namespace testsupport;

namespace {
const QString kFrom = QStringLiteral("01/04/2010 10:00:00");
const QString kTo = QStringLiteral("31/03/2030 10:00:00");
} // namespace

class TestSave : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusedEntries_data();
    void refusedEntries();
    void acceptedDateRanges_data();
    void acceptedDateRanges();
    void duplicateSerials_data() { addBackendColumn(); }
    void duplicateSerials();
    void emptySerialsAreNeverCompared_data() { addBackendColumn(); }
    void emptySerialsAreNeverCompared();
    void numbersAfterDeletes_data() { addBackendColumn(); }
    void numbersAfterDeletes();
    void textsStoredByteForByte_data() { addBackendColumn(); }
    void textsStoredByteForByte();
    void listAfterSave_data() { addBackendColumn(); }
    void listAfterSave();
    void recordHiddenByFilter_data() { addBackendColumn(); }
    void recordHiddenByFilter();
};

// Each case fails exactly one check (or, for the order cases, several where only the first may
// speak). A record with serial "S1" exists.
void TestSave::refusedEntries_data() {
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    struct Case {
        const char* tag;
        QString name, from, to, serial, message, focus;
    };
    const QList<Case> cases = {
        {"empty name", "", kFrom, kTo, "", "Specify Certificate Name.", "txtfields(0)"},
        {"from incomplete", "A", "01/04/2010", kTo, "", "Specify Valid Date From Certificate Valid.", "txtdts(0)"},
        {"from empty", "A", "", kTo, "", "Specify Valid Date From Certificate Valid.", "txtdts(0)"},
        {"to incomplete", "A", kFrom, "31/03/2030 10:00", "", "Specify Valid Date To Certificate Valid.", "txtdts(1)"},
        {"to one second early", "A", kFrom, "01/04/2010 09:59:59", "",
         "Invalid Date. Date should be on or after 01/04/2010 10:00:00", "txtdts(1)"},
        {"to a day early, later hour", "A", kFrom, "31/03/2010 23:00:00", "",
         "Invalid Date. Date should be on or after 01/04/2010 10:00:00", "txtdts(1)"},
        {"to a year early, later month", "A", "01/04/2010 10:00:00", "01/12/2009 10:00:00", "",
         "Invalid Date. Date should be on or after 01/04/2010 10:00:00", "txtdts(1)"},
        {"duplicate serial", "A", kFrom, kTo, "S1", "Duplicate Serial Number.", "txtfields(2)"},
        {"name before dates", "", "01/04", "", "S1", "Specify Certificate Name.", "txtfields(0)"},
        {"from before duplicate", "A", "01/04/2010", kTo, "S1", "Specify Valid Date From Certificate Valid.",
         "txtdts(0)"},
        {"to before range", "A", kFrom, "", "S1", "Specify Valid Date To Certificate Valid.", "txtdts(1)"},
        {"range before duplicate", "A", kFrom, "01/01/2000 00:00:00", "S1",
         "Invalid Date. Date should be on or after 01/04/2010 10:00:00", "txtdts(1)"},
    };
    for (const QString& backend : backendNames())
        for (const Case& c : cases)
            QTest::newRow(qPrintable(backend + QStringLiteral(": ") + QLatin1String(c.tag)))
                << backend << c.name << c.from << c.to << c.serial << c.message << c.focus;
}

void TestSave::refusedEntries() {
    QFETCH(QString, backend);
    QFETCH(QString, name);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, serial);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Existing"), QStringLiteral("S1")});
    h.open();
    h.w->cmdadd_Click();
    h.fill(name, from, to, serial);
    h.w->cmdupdate_Click();

    QCOMPARE(h.said(), QStringList{message});
    QCOMPARE(h.w->focusWidget() ? h.w->focusWidget()->objectName() : QString(), focus);
    QCOMPARE(h.numbers(), QList<int>{1});
    QVERIFY2(!h.w->vs->isEnabled(), "a refused save stays in entry mode");
    QCOMPARE(h.w->txtfields[0]->text(), name);
    QVERIFY(!QFileInfo::exists(h.fx.folder + QStringLiteral("/DscDocs")));
}

void TestSave::acceptedDateRanges_data() {
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("to");
    for (const QString& backend : backendNames()) {
        QTest::newRow(qPrintable(backend + QStringLiteral(": equal moments"))) << backend << kFrom;
        QTest::newRow(qPrintable(backend + QStringLiteral(": later day, earlier hour")))
            << backend << QStringLiteral("02/04/2010 08:00:00");
        QTest::newRow(qPrintable(backend + QStringLiteral(": one second later")))
            << backend << QStringLiteral("01/04/2010 10:00:01");
    }
}

void TestSave::acceptedDateRanges() {
    QFETCH(QString, backend);
    QFETCH(QString, to);
    RegisterHarness h(backend);
    h.open();
    h.w->cmdadd_Click();
    h.fill(QStringLiteral(" "), kFrom, to); // a blank is a name: nothing is trimmed
    h.w->cmdupdate_Click();
    QCOMPARE(h.said(), QStringList{});
    QCOMPARE(h.numbers(), QList<int>{1});
    QCOMPARE(h.column(1, QStringLiteral("Nm")), QStringLiteral(" "));
    QCOMPARE(h.w->vs->TextMatrix(h.w->vs->Row(), 7), to);
}

void TestSave::duplicateSerials() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("First"), QStringLiteral("S1")});
    h.store({2, QStringLiteral("Second"), QStringLiteral("S'2")});
    h.open();

    // Adding: a serial number another record has is refused, also one with a quote in it.
    QVERIFY(!h.add(QStringLiteral("New"), QStringLiteral("S'2")));
    QCOMPARE(h.said(), QStringList{QStringLiteral("Duplicate Serial Number.")});
    h.w->cmdcancel_Click();
    h.fx.dialogs->clear();

    // Changing record 2 and keeping its own serial number passes: its own row is excluded.
    h.selectRecord(2);
    h.w->cmdmodify_Click();
    h.w->txtfields[0]->setText(QStringLiteral("Second, renamed"));
    h.w->cmdupdate_Click();
    QCOMPARE(h.said(), QStringList{});
    QCOMPARE(h.column(2, QStringLiteral("Nm")), QStringLiteral("Second, renamed"));

    // Changing record 2 to record 1's serial number is refused and leaves the table as it was.
    h.selectRecord(2);
    h.w->cmdmodify_Click();
    h.w->txtfields[2]->setText(QStringLiteral("S1"));
    h.w->cmdupdate_Click();
    QCOMPARE(h.said(), QStringList{QStringLiteral("Duplicate Serial Number.")});
    QCOMPARE(h.column(2, QStringLiteral("SerialNo")), QStringLiteral("S'2"));
    QCOMPARE(h.fx.dialogs->unexpected(), 0);
}

void TestSave::emptySerialsAreNeverCompared() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("First")});
    h.store({2, QStringLiteral("Second")});
    h.open();
    QVERIFY(h.add(QStringLiteral("Third")));
    QCOMPARE(h.said(), QStringList{});
    QCOMPARE(h.numbers(), (QList<int>{1, 2, 3}));
    QCOMPARE(h.column(3, QStringLiteral("SerialNo")), QString());
}

void TestSave::numbersAfterDeletes() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.open();
    for (const char* name : {"One", "Two", "Three"})
        QVERIFY(h.add(QLatin1String(name)));
    QCOMPARE(h.numbers(), (QList<int>{1, 2, 3}));

    // A gap below the highest number is never filled.
    h.selectRecord(2);
    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueYes();
    h.w->cmddelete_Click();
    QVERIFY(h.add(QStringLiteral("Four")));
    QCOMPARE(h.numbers(), (QList<int>{1, 3, 4}));

    // The highest number, once deleted, is taken again.
    h.selectRecord(4);
    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueYes();
    h.w->cmddelete_Click();
    QVERIFY(h.add(QStringLiteral("Four again")));
    QCOMPARE(h.numbers(), (QList<int>{1, 3, 4}));
    QCOMPARE(h.column(4, QStringLiteral("Nm")), QStringLiteral("Four again"));
    QCOMPARE(h.fx.dialogs->unexpected(), 0);
}

void TestSave::textsStoredByteForByte() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.open();
    const QString name = QStringLiteral("O'Brien \\ 'quoted' \\' ''");
    const QString serial = QStringLiteral("AB\\'01\\n");
    const QString email = QStringLiteral("o'brien@example.com");
    h.w->cmdadd_Click();
    h.fill(name, kFrom, kTo, serial);
    h.w->cbodsctype->setEditText(QStringLiteral("Class '3' \\ Sign"));
    h.w->txtfields[6]->setText(email);
    h.w->txtfields[7]->setText(QStringLiteral("  98 "));
    h.w->cmdupdate_Click();
    QCOMPARE(h.said(), QStringList{});
    QCOMPARE(h.column(1, QStringLiteral("Nm")), name);
    QCOMPARE(h.column(1, QStringLiteral("SerialNo")), serial);
    QCOMPARE(h.column(1, QStringLiteral("Typ")), QStringLiteral("Class '3' \\ Sign"));
    QCOMPARE(h.column(1, QStringLiteral("Email")), email);
    QCOMPARE(h.column(1, QStringLiteral("Mobile")), QStringLiteral("  98 "));

    // The same serial number, quotes and backslashes included, is found again as a duplicate.
    QVERIFY(!h.add(QStringLiteral("Other"), serial));
    QCOMPARE(h.said(), QStringList{QStringLiteral("Duplicate Serial Number.")});
    h.w->cmdcancel_Click();

    // The update statement writes them unchanged as well.
    h.selectRecord(1);
    h.w->cmdmodify_Click();
    h.w->txtfields[3]->setText(QStringLiteral("C:\\Auth's\\"));
    h.w->cmdupdate_Click();
    QCOMPARE(h.column(1, QStringLiteral("IssAuth")), QStringLiteral("C:\\Auth's\\"));
    QCOMPARE(h.column(1, QStringLiteral("Nm")), name);
    QCOMPARE(h.column(1, QStringLiteral("SerialNo")), serial);
}

// After a save the list is reloaded, the saved row is current and in view, the window is in list
// mode with the record in the entry controls, and the focus is where the user can go on.
void TestSave::listAfterSave() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    for (int i = 1; i <= 80; ++i)
        h.store({i, QStringLiteral("Holder %1").arg(i, 3, 10, QLatin1Char('0'))});
    h.open();
    QCOMPARE(h.w->vs->Row(), 1);

    // The new record sorts last (latest start), far below the rows in view.
    h.w->cmdadd_Click();
    h.fill(QStringLiteral("Latest"), QStringLiteral("01/01/2020 00:00:00"));
    h.w->cmdupdate_Click();
    QCOMPARE(h.w->vs->Rows(), 82);
    QCOMPARE(h.w->vs->Row(), 81);
    QCOMPARE(h.w->vs->TextMatrix(81, 1), QStringLiteral("81"));
    const QRect shown = h.w->vs->visualRect(h.w->vs->currentIndex());
    QVERIFY2(h.w->vs->viewport()->rect().contains(shown), "the saved row is scrolled into view");
    QVERIFY(h.w->vs->isEnabled());
    QVERIFY(h.w->cmdadd->isVisible());
    QVERIFY(!h.w->cmdupdate->isVisible());
    QCOMPARE(h.w->txtfields[0]->text(), QStringLiteral("Latest"));
    QCOMPARE(h.w->focusWidget(), h.w->cmdadd);

    // A record moved to the top of the list: it is current and the list starts with it.
    h.selectRecord(81);
    h.w->cmdmodify_Click();
    h.w->txtdts[0]->setText(QStringLiteral("01/01/2000 00:00:00"));
    h.w->cmdupdate_Click();
    QCOMPARE(h.w->vs->Row(), 1);
    QCOMPARE(h.w->vs->TextMatrix(1, 1), QStringLiteral("81"));
    QCOMPARE(h.w->vs->rowAt(0), 0);
    QCOMPARE(h.w->focusWidget(), h.w->cmdmodify);
    QCOMPARE(h.w->vs->TextMatrix(1, 6), QStringLiteral("01/01/2000 00:00:00"));

    // A record saved below the rows in view becomes the first visible row, not the last.
    const int rowsInView = h.w->vs->rowAt(h.w->vs->viewport()->height() - 1);
    QVERIFY2(rowsInView > 0 && rowsInView < 30, "the grid shows part of the list");
    h.selectRecord(1);
    h.w->cmdmodify_Click();
    h.w->txtfields[0]->setText(QStringLiteral("Holder 040a"));
    h.w->cmdupdate_Click();
    QCOMPARE(h.w->vs->TextMatrix(41, 1), QStringLiteral("1"));
    QCOMPARE(h.w->vs->Row(), 41);
    QCOMPARE(h.w->vs->rowAt(0), 40);
    QCOMPARE(h.said(), QStringList{});
}

void TestSave::recordHiddenByFilter() {
    QFETCH(QString, backend);
    RegisterHarness h(backend);
    h.store({1, QStringLiteral("Expired B"), {}, kFrom, QStringLiteral("01/01/2015 00:00:00")});
    h.store({2,
             QStringLiteral("Expired A"),
             {},
             QStringLiteral("01/01/2009 00:00:00"),
             QStringLiteral("01/01/2016 00:00:00")});
    h.open();
    h.w->options[1]->setChecked(true);
    h.w->options_Click(1);
    QCOMPARE(h.w->vs->Rows(), 3);
    h.w->vs->setRow(2);

    h.w->cmdadd_Click();
    h.fill(QStringLiteral("Still valid"), kFrom, kTo);
    h.w->cmdupdate_Click();
    QCOMPARE(h.numbers(), (QList<int>{1, 2, 3}));
    QCOMPARE(h.w->vs->Rows(), 3);
    QCOMPARE(h.w->vs->Row(), 1);
    QCOMPARE(h.w->txtfields[0]->text(), QStringLiteral("Expired A"));
    QVERIFY(h.w->options[1]->isChecked());
}

QTEST_MAIN(TestSave)
#include "test_save.moc"
