// The certificate list: the three filters at their cut-off on both backends, the heading, the
// order and numbering of rows, when a reload happens, and the days boxes.

#include "register/frmDscMain.h"
#include "support/TestSupport.h"

#include <QTest>

using testsupport::ComponentFixture;

namespace {
// A window prepared as InitData prepares it, on the fixture's connection.
std::unique_ptr<frmDscMain> openWindow(ComponentFixture& fx) {
    fx.attach();
    auto window = std::make_unique<frmDscMain>();
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->InitData(fx.cls, false);
    window->show();
    return window;
}

// A click as the user gives it, on a button or an option.
void click(QAbstractButton* button) {
    QVERIFY2(button->isVisible() && button->isEnabled(), qPrintable(button->objectName()));
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList names(const frmDscMain& w) {
    QStringList out;
    for (int r = 1; r < w.vs->Rows(); ++r)
        out << w.vs->TextMatrix(r, 2);
    return out;
}

// Counts reloads by the rebuilds of the grid's model.
struct ReloadCounter {
    explicit ReloadCounter(frmDscMain& w) {
        QObject::connect(w.vs->listModel(), &QAbstractItemModel::modelReset, [this] { ++count; });
    }
    int count = 0;
};
} // namespace

class TestList : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void filtersAtTheCutOff_data() { testsupport::addBackendColumn(); }
    void filtersAtTheCutOff();
    void rowsOrderedAndNumbered_data() { testsupport::addBackendColumn(); }
    void rowsOrderedAndNumbered();
    void reloadsOnlyWhenTheFilterChanges();
    void emptyListClearsTheEntryFrame();
    void failingQueryIsLoggedAndTheWindowGoesOn();
    void daysBoxChecks_data();
    void daysBoxChecks();
    void daysBoxKeyFilter();
};

void TestList::filtersAtTheCutOff() {
    QFETCH(QString, backend);
    ComponentFixture fx(backend);
    // Now is 05/12/2026 10:30:00.
    fx.insert(1, QStringLiteral("Expired long ago"), QStringLiteral("01/01/2020 00:00:00"),
              QStringLiteral("01/01/2021 00:00:00"));
    fx.insert(2, QStringLiteral("Expires right now"), QStringLiteral("02/01/2020 00:00:00"),
              QStringLiteral("05/12/2026 10:30:00"));
    fx.insert(3, QStringLiteral("One second later"), QStringLiteral("03/01/2020 00:00:00"),
              QStringLiteral("05/12/2026 10:30:01"));
    fx.insert(4, QStringLiteral("At ten days"), QStringLiteral("04/01/2020 00:00:00"),
              QStringLiteral("15/12/2026 10:30:00"));
    fx.insert(5, QStringLiteral("After ten days"), QStringLiteral("05/01/2020 00:00:00"),
              QStringLiteral("15/12/2026 10:30:01"));
    auto w = openWindow(fx);

    QCOMPARE(w->lblhead->text(), QStringLiteral("List of All Certificates"));
    QCOMPARE(w->vs->Rows(), 6);

    click(w->options[1]);
    QCOMPARE(w->lblhead->text(), QStringLiteral("List of Certificates Expired on or before 05/12/2026 10:30:00"));
    QCOMPARE(frmDscMain::Tag(w->cmdok), QStringLiteral("05/12/2026 10:30:00"));
    QCOMPARE(names(*w), (QStringList{QStringLiteral("Expired long ago"), QStringLiteral("Expires right now")}));

    w->txtdays[0]->setText(QStringLiteral("10"));
    click(w->cmdok);
    QVERIFY(w->options[2]->isChecked());
    QCOMPARE(w->lblhead->text(), QStringLiteral("List of Certificates To be Expired on or before 15/12/2026 10:30:00"));
    QCOMPARE(names(*w), (QStringList{QStringLiteral("Expired long ago"), QStringLiteral("Expires right now"),
                                     QStringLiteral("One second later"), QStringLiteral("At ten days")}));

    // An empty days box means no days: the same rows as the expired list, under the other heading.
    w->txtdays[0]->clear();
    click(w->cmdok);
    QCOMPARE(w->lblhead->text(), QStringLiteral("List of Certificates To be Expired on or before 05/12/2026 10:30:00"));
    QCOMPARE(w->vs->Rows(), 3);

    // A day count beyond the last four-digit year lists every certificate up to that year's end,
    // and the heading names that cut-off, whether the days overflow the calendar or the counter.
    for (const QString& days : {QStringLiteral("3000000"), QStringLiteral("99999999999999999999")}) {
        w->txtdays[0]->setText(days);
        click(w->cmdok);
        QCOMPARE(w->vs->Rows(), 6);
        QCOMPARE(w->lblhead->text(),
                 QStringLiteral("List of Certificates To be Expired on or before 31/12/9999 23:59:59"));
    }
    QCOMPARE(fx.logLines(), QStringList());
}

void TestList::rowsOrderedAndNumbered() {
    QFETCH(QString, backend);
    ComponentFixture fx(backend);
    fx.insert(10, QStringLiteral("Zeta"), QStringLiteral("01/06/2025 09:00:00"), QStringLiteral("01/06/2027 09:00:00"));
    fx.insert(3, QStringLiteral("Alpha"), QStringLiteral("01/06/2025 09:00:00"), QStringLiteral("01/06/2027 09:00:00"));
    fx.insert(7, QStringLiteral("Early"), QStringLiteral("31/12/2024 23:59:59"), QStringLiteral("01/06/2027 09:00:00"));
    auto w = openWindow(fx);
    QCOMPARE(names(*w), (QStringList{QStringLiteral("Early"), QStringLiteral("Alpha"), QStringLiteral("Zeta")}));
    for (int r = 1; r <= 3; ++r)
        QCOMPARE(w->vs->TextMatrix(r, 0), QString::number(r));
    QCOMPARE(w->vs->TextMatrix(1, 1), QStringLiteral("7"));
    QCOMPARE(w->vs->TextMatrix(3, 1), QStringLiteral("10"));
    QCOMPARE(w->vs->TextMatrix(1, 6), QStringLiteral("31/12/2024 23:59:59"));
    QCOMPARE(w->vs->TextMatrix(0, 16), QStringLiteral("Address Proof File Name"));
    QVERIFY(w->vs->isColumnHidden(1));
    QCOMPARE(w->vs->Row(), 1);
    QVERIFY(w->vs->columnWidth(2) > 0);
}

void TestList::reloadsOnlyWhenTheFilterChanges() {
    ComponentFixture fx;
    fx.insert(1, QStringLiteral("One"), QStringLiteral("01/01/2025 00:00:00"), QStringLiteral("01/01/2026 00:00:00"));
    auto w = openWindow(fx);
    ReloadCounter reloads(*w);

    click(w->options[0]); // the option already in force
    QCOMPARE(reloads.count, 0);

    click(w->cmdok); // from "Show All": switches to the days filter, one reload
    QCOMPARE(reloads.count, 1);
    QVERIFY(w->options[2]->isChecked());
    QVERIFY(w->txtdays[0]->isEnabled());

    click(w->cmdok); // with the days filter already selected: again exactly one reload
    QCOMPARE(reloads.count, 2);

    // Typing new days changes nothing until Ok or another option.
    w->txtdays[0]->setText(QStringLiteral("400"));
    QCOMPARE(reloads.count, 2);

    click(w->options[0]);
    QCOMPARE(reloads.count, 3);
    QVERIFY(!w->txtdays[0]->isEnabled());
}

void TestList::emptyListClearsTheEntryFrame() {
    ComponentFixture fx;
    fx.insert(1, QStringLiteral("Valid"), QStringLiteral("01/01/2025 00:00:00"), QStringLiteral("01/01/2030 00:00:00"));
    auto w = openWindow(fx);
    QCOMPARE(w->txtfields[0]->text(), QStringLiteral("Valid"));
    QVERIFY(w->cmdmodify->isEnabled());
    click(w->options[1]);
    QCOMPARE(w->vs->Rows(), 1);
    QCOMPARE(w->vs->Row(), 0);
    QCOMPARE(w->txtfields[0]->text(), QString());
    QVERIFY(!w->cmdmodify->isEnabled());
    QVERIFY(!w->cmddelete->isEnabled());
}

void TestList::failingQueryIsLoggedAndTheWindowGoesOn() {
    ComponentFixture fx;
    fx.attach();
    // A table of that name that lacks the register's columns.
    fx.db->execute(QStringLiteral("Create Table DscStore (Other Int)"));
    fx.db->execute(QStringLiteral("Insert Into DscStore Values (1)"));
    auto w = openWindow(fx);
    QCOMPARE(w->vs->Rows(), 1);
    const QStringList lines = fx.logLines();
    QVERIFY(!lines.isEmpty());
    bool loggedByLoadGrid = false;
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        QVERIFY(fields.size() >= 6);
        loggedByLoadGrid |=
            fields.mid(fields.size() - 2) == QStringList{QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID")};
    }
    QVERIFY(loggedByLoadGrid);
}

void TestList::daysBoxChecks_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("after");
    const char* const rows[][4] = {{"empty", "", "", ""},
                                   {"decimal", "1.5", "Invalid Value. Decimal not allowed.", "1.5"},
                                   {"negative", "-3", "Invalid Value. Only Positive Value allowed.", "-3"},
                                   {"not numeric", "12a", "Invalid Value. Only Numeric allowed.", "12a"},
                                   {"zero", "0", "", "0"},
                                   {"leading zeros", "007", "", "7"}};
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString::fromLatin1(row[1]) << QString::fromLatin1(row[2])
                              << QString::fromLatin1(row[3]);
}

void TestList::daysBoxChecks() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, after);
    ComponentFixture fx;
    auto w = openWindow(fx);
    for (int index = 0; index < 2; ++index) {
        fx.dialogs->clear();
        w->txtdays[size_t(index)]->setText(typed);
        bool cancel = false;
        w->txtdays_Validate(index, cancel);
        QCOMPARE(cancel, !message.isEmpty());
        QCOMPARE(fx.dialogs->messages(), message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(w->txtdays[size_t(index)]->text(), after);
    }
}

void TestList::daysBoxKeyFilter() {
    ComponentFixture fx;
    auto w = openWindow(fx);
    click(w->options[2]);
    QLineEdit* box = w->txtdays[0];
    box->clear();
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("1a2-.b3"));
    QCOMPARE(box->text(), QStringLiteral("12.3"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("12."));
}

QTEST_MAIN(TestList)
#include "test_list.moc"
