// The list as a clerk uses it every day: rows tinted by expiry, the count beside the filters, the
// find box, and Tab leaving the grid. Driven with clicks and keys on an offscreen window.

#include "listing/ListFindBar.h"
#include "support/RegisterWindowHarness.h"

#include <algorithm>
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QTest>
#include <QToolTip>

using regtest::Record;
using regtest::RegisterWindow;

namespace {
Record record(int n, const QString& name, const QString& to) {
    Record r;
    r.srNo = n;
    r.name = name;
    r.from = QStringLiteral("0%1/01/2020 00:00:00").arg(n); // list order follows n
    r.to = to;
    return r;
}

QString countText(const RegisterWindow& h) {
    return h.find<QLabel>(QStringLiteral("lblcount"))->text();
}

QString currentName(const RegisterWindow& h) {
    return h.w->vs->TextMatrix(h.w->vs->Row(), 2);
}

QStringList shownColumn(const RegisterWindow& h, int column) {
    QStringList out;
    for (int row = 1; row < h.w->vs->Rows(); ++row)
        out << h.w->vs->TextMatrix(row, column);
    return out;
}

void clickHeading(const RegisterWindow& h, int column) {
    QHeaderView* heading = h.w->vs->horizontalHeader();
    h.w->vs->scrollTo(h.w->vs->model()->index(0, column));
    const QPoint at(heading->sectionViewportPosition(column) + heading->sectionSize(column) / 2, heading->height() / 2);
    QTest::mouseClick(heading->viewport(), Qt::LeftButton, {}, at);
}
} // namespace

class TestListView : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void tintsAtTheCutOffs();
    void countFollowsEveryReload();
    void findMovesTheCurrentRowOnly();
    void tabLeavesTheGrid();
    void headingClickSortsWhatTheButtonsActOn();
    void longListSortsDatesAsDates();
    void validToInViewAndLongCellsShortened();
    void doubleClickOpensTheRowForChange();
};

// Now is 05/12/2026 10:30:00 and "DSCDays" is 30: the cut-offs are now and 04/01/2027 10:30:00,
// both included, as the list's own filters include them.
void TestListView::tintsAtTheCutOffs() {
    RegisterWindow h;
    h.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("30"));
    h.store(record(1, QStringLiteral("Expired a second ago"), QStringLiteral("05/12/2026 10:29:59")));
    h.store(record(2, QStringLiteral("Expires right now"), QStringLiteral("05/12/2026 10:30:00")));
    h.store(record(3, QStringLiteral("One second left"), QStringLiteral("05/12/2026 10:30:01")));
    h.store(record(4, QStringLiteral("Expires at thirty days"), QStringLiteral("04/01/2027 10:30:00")));
    h.store(record(5, QStringLiteral("Valid the day after"), QStringLiteral("05/01/2027 10:30:00")));
    h.open();
    const QVariant expired = CertListModel::expiredTint();
    const QVariant expiring = CertListModel::expiringTint();
    const QList<QVariant> expected = {expired, expired, expiring, expiring, QVariant()};
    QAbstractItemModel* model = h.w->vs->model();
    for (int row = 0; row < expected.size(); ++row)
        for (int column : {0, 2, 16})
            QVERIFY2(model->index(row, column).data(Qt::BackgroundRole) == expected[row],
                     qPrintable(model->index(row, 2).data().toString()));
    QCOMPARE(h.find<QLabel>(QStringLiteral("lblexpiring"))->text(), QStringLiteral("Expires within 30 days"));

    // The tints follow the clock at the next reload.
    h.fx.clock->set(QDateTime(QDate(2026, 12, 6), QTime(10, 30, 0)));
    QTest::mouseClick(h.w->options[1], Qt::LeftButton);
    QCOMPARE(h.w->vs->Rows(), 4);
    QCOMPARE(model->index(2, 2).data(Qt::BackgroundRole), expired);
}

void TestListView::countFollowsEveryReload() {
    RegisterWindow h;
    h.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("30"));
    h.store(record(1, QStringLiteral("Expired"), QStringLiteral("01/01/2025 00:00:00")));
    h.store(record(2, QStringLiteral("Expiring"), QStringLiteral("15/12/2026 00:00:00")));
    h.store(record(3, QStringLiteral("Valid"), QStringLiteral("01/01/2030 00:00:00")));
    h.open();
    const QAbstractItemModelTester contract(h.w->vs->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QCOMPARE(countText(h), QStringLiteral("3 certificates"));
    QTest::mouseClick(h.w->options[1], Qt::LeftButton);
    QCOMPARE(countText(h), QStringLiteral("1 certificate"));
    QTest::mouseClick(h.w->options[2], Qt::LeftButton);
    QCOMPARE(countText(h), QStringLiteral("2 certificates"));
    h.w->txtdays[0]->setText(QStringLiteral("0"));
    QTest::mouseClick(h.w->cmdok, Qt::LeftButton);
    QCOMPARE(countText(h), QStringLiteral("1 certificate"));
    QTest::mouseClick(h.w->options[0], Qt::LeftButton);
    QCOMPARE(countText(h), QStringLiteral("3 certificates"));

    QTest::mouseClick(h.w->cmdadd, Qt::LeftButton);
    h.fill(QStringLiteral("Added"));
    QTest::mouseClick(h.w->cmdupdate, Qt::LeftButton);
    QCOMPARE(countText(h), QStringLiteral("4 certificates"));
    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueYes();
    QTest::mouseClick(h.w->cmddelete, Qt::LeftButton);
    QCOMPARE(countText(h), QStringLiteral("3 certificates"));
}

void TestListView::findMovesTheCurrentRowOnly() {
    RegisterWindow h;
    h.store(record(1, QStringLiteral("Anil Sharma"), regtest::kTo));
    h.store(record(2, QStringLiteral("Bina Rao"), regtest::kTo));
    h.store(record(3, QStringLiteral("Chetan SHARMA"), regtest::kTo));
    h.store(record(4, QStringLiteral("Deepa Shah"), regtest::kTo));
    h.open();
    CertGrid* vs = h.w->vs;
    vs->setFocus();
    QTest::keyClick(vs, Qt::Key_Down);
    QCOMPARE(vs->Row(), 2);

    QTest::keyClick(vs, Qt::Key_F, Qt::ControlModifier);
    auto* bar = h.find<ListFindBar>(QStringLiteral("famfind"));
    QVERIFY(bar->isVisible());
    QCOMPARE(RegisterWindow::focus(), bar->box());
    // Typing looks from the current row on, in any letter case, and the form follows the row.
    QTest::keyClicks(bar->box(), QStringLiteral("sharma"));
    QCOMPARE(currentName(h), QStringLiteral("Chetan SHARMA"));
    QCOMPARE(h.text(0)->text(), QStringLiteral("Chetan SHARMA"));
    QTest::keyClick(bar->box(), Qt::Key_F3);
    QCOMPARE(currentName(h), QStringLiteral("Anil Sharma")); // wrapped round
    QTest::keyClick(bar->box(), Qt::Key_Return);
    QCOMPARE(currentName(h), QStringLiteral("Chetan SHARMA"));
    QTest::keyClick(bar->box(), Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(currentName(h), QStringLiteral("Anil Sharma"));
    QTest::keyClick(bar->box(), Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(currentName(h), QStringLiteral("Chetan SHARMA")); // wrapped round backwards
    // Other columns count too; text found nowhere leaves the row where it is.
    bar->box()->clear();
    QTest::keyClicks(bar->box(), QStringLiteral("31/03/2030"));
    QCOMPARE(currentName(h), QStringLiteral("Chetan SHARMA"));
    QTest::keyClicks(bar->box(), QStringLiteral("x"));
    QCOMPARE(currentName(h), QStringLiteral("Chetan SHARMA"));
    // The list itself never changes.
    QCOMPARE(vs->Rows(), 5);
    QCOMPARE(vs->TextMatrix(2, 2), QStringLiteral("Bina Rao"));

    // Escape closes only the box; the next Escape is the window's again.
    QTest::keyClick(bar->box(), Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QCOMPARE(RegisterWindow::focus(), vs);
    QVERIFY(h.fx.dialogs->shown().empty());
    h.fx.dialogs->queueNo();
    QTest::keyClick(vs, Qt::Key_Escape);
    QCOMPARE(h.said(), QStringList{QStringLiteral("Do you want to Exit?")});

    // In entry mode the list is out of reach, and so is the box.
    QTest::mouseClick(h.w->cmdmodify, Qt::LeftButton);
    QTest::keyClick(h.text(0), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!bar->isVisible());
}

void TestListView::tabLeavesTheGrid() {
    RegisterWindow h;
    h.store(record(1, QStringLiteral("Anil"), regtest::kTo));
    h.store(record(2, QStringLiteral("Bina"), regtest::kTo));
    h.open();
    CertGrid* vs = h.w->vs;
    vs->setFocus();
    QTest::keyClick(vs, Qt::Key_Right);
    QCOMPARE(vs->Col(), 3);
    QTest::keyClick(vs, Qt::Key_Down);
    QCOMPARE(vs->Row(), 2);
    QTest::keyClick(vs, Qt::Key_Tab);
    QCOMPARE(RegisterWindow::focus(), h.w->cmdpreview);
    vs->setFocus();
    QTest::keyClick(vs, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(RegisterWindow::focus(), h.w->cmdok);
    QCOMPARE(vs->Row(), 2);
}

// Sorting by a heading: dates as dates, numbers as numbers, letters in any case; a second click
// reverses; the form, Modify and Delete follow the row shown; a reload brings the list's order back.
void TestListView::headingClickSortsWhatTheButtonsActOn() {
    RegisterWindow h;
    const QString tos[] = {"01/01/2031 00:00:00", "15/06/2029 00:00:00", "01/02/2030 00:00:00", ""};
    const QString names[] = {"chetan", "Anil", "bina", "Deepa"};
    const QString mobiles[] = {"10", "9", "100", ""};
    for (int n = 1; n <= 4; ++n) {
        Record r = record(n, names[n - 1], tos[n - 1].isEmpty() ? regtest::kTo : tos[n - 1]);
        r.mobile = mobiles[n - 1];
        h.store(r);
    }
    h.open();
    CertGrid* vs = h.w->vs;
    const QAbstractItemModelTester contract(vs->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    h.clickRow(3);
    QCOMPARE(h.text(0)->text(), QStringLiteral("bina"));

    clickHeading(h, 2);
    QCOMPARE(shownColumn(h, 2), QStringList({"Anil", "bina", "chetan", "Deepa"}));
    QCOMPARE(shownColumn(h, 0), QStringList({"1", "2", "3", "4"}));
    QCOMPARE(vs->horizontalHeader()->sortIndicatorSection(), 2);
    QCOMPARE(currentName(h), QStringLiteral("bina")); // the current record moved with its row
    QCOMPARE(h.text(0)->text(), QStringLiteral("bina"));
    clickHeading(h, 2);
    QCOMPARE(shownColumn(h, 2), QStringList({"Deepa", "chetan", "bina", "Anil"}));
    QCOMPARE(vs->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    clickHeading(h, 7);
    QCOMPARE(shownColumn(h, 2), QStringList({"Anil", "bina", "Deepa", "chetan"}));
    clickHeading(h, 9);
    QCOMPARE(shownColumn(h, 9), QStringList({"9", "10", "100", ""})); // empty cells last

    // The buttons act on the row shown: row 1 is now Anil's record (number 2).
    h.clickRow(1);
    h.click(h.w->cmdmodify);
    h.text(0)->setText(QStringLiteral("Anil Kumar"));
    h.click(h.w->cmdupdate);
    QCOMPARE(h.column(2, "Nm"), QStringLiteral("Anil Kumar"));
    // Saving reloads the list in its own order, with no heading marked.
    QCOMPARE(shownColumn(h, 2), QStringList({"chetan", "Anil Kumar", "bina", "Deepa"}));
    QCOMPARE(vs->horizontalHeader()->sortIndicatorSection(), -1);
    clickHeading(h, 2);
    h.clickRow(4);
    h.fx.dialogs->queueYes();
    h.fx.dialogs->queueYes();
    h.click(h.w->cmddelete);
    QCOMPARE(h.numbers(), QList<int>({1, 2, 3}));
}

// Both date columns sort by the moment they name, whatever the number of rows: their texts sort
// otherwise (day first), so each order below differs from the texts' order.
void TestListView::longListSortsDatesAsDates() {
    RegisterWindow h;
    const QStringList froms = {"20/03/2021 00:00:00", "01/12/2019 00:00:00", "15/06/2020 18:00:00",
                               "15/06/2020 08:00:00", "02/01/2022 00:00:00", "31/12/2018 00:00:00",
                               "10/10/2019 00:00:00", "28/02/2021 00:00:00", "05/05/2020 00:00:00"};
    const QStringList tos = {"01/01/2031 00:00:00", "15/06/2029 00:00:00", "01/02/2030 00:00:00",
                             "28/02/2028 00:00:00", "02/01/2027 00:00:00", "31/12/2026 00:00:00",
                             "10/10/2032 00:00:00", "05/05/2029 00:00:00", "20/03/2030 00:00:00"};
    for (int n = 1; n <= int(tos.size()); ++n) {
        Record r = record(n, QStringLiteral("Holder %1").arg(n), tos[n - 1]);
        r.from = froms[n - 1];
        h.store(r);
    }
    h.open();
    const auto byMoment = [](QStringList dates) {
        std::sort(dates.begin(), dates.end(), [](const QString& a, const QString& b) {
            const QString format = QStringLiteral("dd/MM/yyyy HH:mm:ss");
            return QDateTime::fromString(a, format) < QDateTime::fromString(b, format);
        });
        return dates;
    };
    for (const auto& [column, dates] : {std::pair{6, froms}, std::pair{7, tos}}) {
        const QStringList ascending = byMoment(dates);
        QStringList descending = ascending;
        std::reverse(descending.begin(), descending.end());
        clickHeading(h, column);
        QCOMPARE(shownColumn(h, column), ascending);
        clickHeading(h, column);
        QCOMPARE(shownColumn(h, column), descending);
    }
}

// At factor 1 and the window's default width the columns up to "Valid To" are in view; long serial
// numbers and e-mail addresses give up their middle, keep the whole text in a tool tip, and a
// column widened by dragging stays wide.
void TestListView::validToInViewAndLongCellsShortened() {
    RegisterWindow h;
    Record r = record(1, QStringLiteral("Venkataraghavan Subramanian Iyer of Chennai"), regtest::kTo);
    r.serial = QString(48, QLatin1Char('7')) + QStringLiteral("ABCDEF");
    r.authority = QStringLiteral("A Certifying Authority With A Rather Long Name 2024");
    r.email = QStringLiteral("venkataraghavan.subramanian.iyer@chartered-accountants.example.in");
    h.store(r);
    h.open();
    h.w->resize(1000, 720); // its default width, wider than the test screen allows it to open at
    QApplication::processEvents();
    CertGrid* vs = h.w->vs;
    const int validToEnd = vs->columnViewportPosition(7) + vs->columnWidth(7);
    QVERIFY2(validToEnd <= vs->viewport()->width(),
             qPrintable(QStringLiteral("%1 > %2").arg(validToEnd).arg(vs->viewport()->width())));
    const QModelIndex serial = vs->model()->index(0, 4);
    QVERIFY(vs->columnWidth(4) < vs->fontMetrics().horizontalAdvance(r.serial));
    QHelpEvent hover(QEvent::ToolTip, vs->visualRect(serial).center(),
                     vs->viewport()->mapToGlobal(vs->visualRect(serial).center()));
    QApplication::sendEvent(vs->viewport(), &hover);
    QCOMPARE(QToolTip::text(), r.serial);
    QToolTip::hideText();

    // Dragging the border of the serial column widens it; the window's next resize keeps that.
    QHeaderView* heading = vs->horizontalHeader();
    const int before = vs->columnWidth(4);
    const int border = heading->sectionViewportPosition(4) + heading->sectionSize(4) - 1;
    QTest::mousePress(heading->viewport(), Qt::LeftButton, {}, QPoint(border, heading->height() / 2));
    QMouseEvent drag(QEvent::MouseMove, QPointF(border + 120, heading->height() / 2),
                     heading->viewport()->mapToGlobal(QPointF(border + 120, heading->height() / 2)), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(heading->viewport(), &drag);
    QTest::mouseRelease(heading->viewport(), Qt::LeftButton, {}, QPoint(border + 120, heading->height() / 2));
    QVERIFY2(vs->columnWidth(4) > before + 100, qPrintable(QString::number(vs->columnWidth(4))));
    h.w->resize(1100, h.w->height());
    QApplication::processEvents();
    QVERIFY(vs->columnWidth(4) > before + 100);
}

void TestListView::doubleClickOpensTheRowForChange() {
    RegisterWindow h;
    h.store(record(1, QStringLiteral("Anil"), regtest::kTo));
    h.store(record(2, QStringLiteral("Bina"), regtest::kTo));
    h.open();
    CertGrid* vs = h.w->vs;
    const QPoint second = vs->visualRect(vs->model()->index(1, 2)).center();
    // A double click as the window system delivers it: a click, then the second press.
    QTest::mouseClick(vs->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(vs->viewport(), Qt::LeftButton, {}, second);
    QVERIFY(!vs->isEnabled()); // entry mode
    QVERIFY(h.w->cmdupdate->isVisible());
    QCOMPARE(h.text(0)->text(), QStringLiteral("Bina"));
    QCOMPARE(RegisterWindow::focus(), h.text(0));
    h.text(0)->setText(QStringLiteral("Bina Rao"));
    h.click(h.w->cmdupdate);
    QCOMPARE(h.column(2, "Nm"), QStringLiteral("Bina Rao")); // changed, not added
    QCOMPARE(h.numbers(), QList<int>({1, 2}));
}

QTEST_MAIN(TestListView)
#include "test_list_view.moc"
