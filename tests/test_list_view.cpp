// The list as a clerk uses it every day: rows tinted by expiry, the count beside the filters, the
// find box, and Tab leaving the grid. Driven with clicks and keys on an offscreen window.

#include "listing/ListFindBar.h"
#include "support/RegisterWindowHarness.h"

#include <QLabel>
#include <QTest>

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
} // namespace

class TestListView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tintsAtTheCutOffs();
    void countFollowsEveryReload();
    void findMovesTheCurrentRowOnly();
    void tabLeavesTheGrid();
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
    QCOMPARE(h.fx.dialogs->unexpected(), 0);
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

QTEST_MAIN(TestListView)
#include "test_list_view.moc"
