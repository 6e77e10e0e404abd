// The list kept as the clerk left it: its sort and dragged widths outlast saves and a new window on
// the same folder, a heading click keeps the columns in view, and the tints follow a changed day
// setting at once. Driven with clicks and keys on an offscreen window.

#include "listing/ListFindBar.h"
#include "support/RegisterWindowHarness.h"

#include <algorithm>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

using regtest::Record;
using regtest::RegisterWindow;
using testsupport::addBackendColumn;

namespace {
Record record(int n, const QString& name, const QString& to = regtest::kTo) {
    Record r;
    r.srNo = n;
    r.name = name;
    r.serial = QStringLiteral("S%1").arg(n);
    r.to = to;
    return r;
}

QStringList names(const RegisterWindow& h) {
    QStringList out;
    for (int row = 1; row < h.w->vs->Rows(); ++row)
        out << h.w->vs->TextMatrix(row, 2);
    return out;
}

void clickHeading(const RegisterWindow& h, int column) {
    QHeaderView* heading = h.w->vs->horizontalHeader();
    const QPoint at(heading->sectionViewportPosition(column) + heading->sectionSize(column) / 2, heading->height() / 2);
    QTest::mouseClick(heading->viewport(), Qt::LeftButton, {}, at);
}

// Drags the right border of a column's heading by `by` pixels.
void dragBorder(const RegisterWindow& h, int column, int by) {
    QHeaderView* heading = h.w->vs->horizontalHeader();
    const int border = heading->sectionViewportPosition(column) + heading->sectionSize(column) - 1;
    const int y = heading->height() / 2;
    QTest::mousePress(heading->viewport(), Qt::LeftButton, {}, QPoint(border, y));
    QMouseEvent drag(QEvent::MouseMove, QPointF(border + by, y),
                     heading->viewport()->mapToGlobal(QPointF(border + by, y)), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(heading->viewport(), &drag);
    QTest::mouseRelease(heading->viewport(), Qt::LeftButton, {}, QPoint(border + by, y));
}
} // namespace

class TestListDesk : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void sortAndWidthsOutlastSavesAndRestarts_data() { addBackendColumn(); }
    void sortAndWidthsOutlastSavesAndRestarts();
    void queuesComeInTheirOwnOrder();
    void headingClickKeepsTheColumnsInView();
    void tintsFollowAChangedDaySetting();
    void savingAnExpiredCertificateAsksFirst();
    void exportWritesTheRowsAsShown_data() { addBackendColumn(); }
    void exportWritesTheRowsAsShown();
};

void TestListDesk::sortAndWidthsOutlastSavesAndRestarts() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    h.store(record(1, QStringLiteral("Bina")));
    h.store(record(2, QStringLiteral("anil")));
    h.store(record(3, QStringLiteral("Chetan")));
    h.open();
    clickHeading(h, 2);
    clickHeading(h, 2);
    QCOMPARE(names(h), QStringList({"Chetan", "Bina", "anil"}));
    const int serialWidth = h.w->vs->columnWidth(4);
    dragBorder(h, 4, 90);
    const int dragged = h.w->vs->columnWidth(4);
    QVERIFY2(dragged > serialWidth + 60, qPrintable(QString::number(dragged)));

    // A save, a delete and a change of filter reload the list in the same order and widths.
    QVERIFY(h.add(QStringLiteral("Deepa")));
    QCOMPARE(names(h), QStringList({"Deepa", "Chetan", "Bina", "anil"}));
    QCOMPARE(h.w->vs->TextMatrix(h.w->vs->Row(), 2), QStringLiteral("Deepa"));
    h.deleteRecord(3);
    QTest::mouseClick(h.w->options[1], Qt::LeftButton);
    QTest::mouseClick(h.w->options[0], Qt::LeftButton);
    QCOMPARE(names(h), QStringList({"Deepa", "Bina", "anil"}));
    QCOMPARE(h.w->vs->columnWidth(4), dragged);
    QCOMPARE(h.w->vs->horizontalHeader()->sortIndicatorSection(), 2);
    QCOMPARE(h.w->vs->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    // A new window on the same folder, after this one closed, opens the list as it was left.
    h.w->close();
    h.open();
    QCOMPARE(names(h), QStringList({"Deepa", "Bina", "anil"}));
    QCOMPARE(h.w->vs->horizontalHeader()->sortIndicatorSection(), 2);
    QCOMPARE(h.w->vs->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(h.w->vs->columnWidth(4), dragged);
    // The other columns still fit their texts: only the dragged one was kept.
    const CertGrid::Widths& kept = h.w->vs->draggedWidths();
    QCOMPARE(std::count_if(kept.begin(), kept.end(), [](int width) { return width > 0; }), 1);
    QVERIFY(testsupport::readFile(h.fx.folder + QStringLiteral("/Confg.ini")).contains("Sort=2 Descending"));
}

// Whatever the list is sorted by, "Due for Renewal" opens soonest first and "Recently Expired"
// most recently expired first; a sort clicked inside a queue is kept for its reloads, and the
// other filters get back the sort the clerk chose for them.
void TestListDesk::queuesComeInTheirOwnOrder() {
    RegisterWindow h;
    h.fx.clock->set(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    h.store(record(1, QStringLiteral("Bina"), QStringLiteral("30/12/2026 10:00:00")));
    h.store(record(2, QStringLiteral("anil"), QStringLiteral("20/12/2026 10:00:00")));
    h.store(record(3, QStringLiteral("Chetan"), QStringLiteral("10/12/2026 10:00:00")));
    h.store(record(4, QStringLiteral("Esha"), QStringLiteral("30/11/2026 10:00:00")));
    h.store(record(5, QStringLiteral("Deepa"), QStringLiteral("20/11/2026 10:00:00")));
    h.open();
    clickHeading(h, 2);
    const QStringList byName{"anil", "Bina", "Chetan", "Deepa", "Esha"};
    QCOMPARE(names(h), byName);

    h.click(h.w->optdue);
    QCOMPARE(names(h), QStringList({"Chetan", "anil", "Bina"}));
    QCOMPARE(h.w->vs->horizontalHeader()->sortIndicatorSection(), CertListModel::kValidToColumn);
    h.click(h.w->optrecent);
    QCOMPARE(names(h), QStringList({"Esha", "Deepa"}));
    QCOMPARE(h.w->vs->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    // Back on "Show All" the list is sorted by name again, and that is the sort kept for the clerk.
    QTest::mouseClick(h.w->options[0], Qt::LeftButton);
    QCOMPARE(names(h), byName);
    h.click(h.w->optdue);
    h.w->close();
    QVERIFY(testsupport::readFile(h.fx.folder + QStringLiteral("/Confg.ini")).contains("Sort=2 Ascending"));
    h.open();

    // A heading clicked in the queue holds while its day box changes; it is the clerk's sort from then on.
    h.click(h.w->optdue);
    QCOMPARE(names(h), QStringList({"Chetan", "anil", "Bina"}));
    clickHeading(h, 2);
    clickHeading(h, 2);
    QCOMPARE(names(h), QStringList({"Chetan", "Bina", "anil"}));
    h.w->txtduedays->setFocus();
    h.w->txtduedays->selectAll();
    QTest::keyClicks(h.w->txtduedays, QStringLiteral("20"));
    QTest::keyClick(h.w->txtduedays, Qt::Key_Return);
    QCOMPARE(names(h), QStringList({"Chetan", "anil"}));
    QTest::mouseClick(h.w->options[0], Qt::LeftButton);
    QCOMPARE(names(h), QStringList({"Esha", "Deepa", "Chetan", "Bina", "anil"}));
}

// A click on a heading sorts by it; the columns in view stay, wherever the current cell lies.
void TestListDesk::headingClickKeepsTheColumnsInView() {
    RegisterWindow h;
    for (int n = 1; n <= 40; ++n) {
        Record r = record(n, QStringLiteral("Holder %1").arg(n, 2, 10, QLatin1Char('0')));
        r.email = QStringLiteral("holder.number.%1@a-rather-long-domain-name.example").arg(n);
        r.addrNo = QStringLiteral("A%1").arg(n);
        h.store(r);
    }
    h.open();
    CertGrid* vs = h.w->vs;
    h.clickRow(5);
    QScrollBar* across = vs->horizontalScrollBar();
    QVERIFY(across->maximum() > 0);
    across->setValue(across->maximum());
    const int addressProofNo = 15;
    QVERIFY(vs->columnViewportPosition(addressProofNo) >= 0);
    clickHeading(h, addressProofNo);
    QCOMPARE(vs->horizontalHeader()->sortIndicatorSection(), addressProofNo);
    QCOMPARE(across->value(), across->maximum());
    clickHeading(h, addressProofNo);
    QCOMPARE(across->value(), across->maximum());
    QCOMPARE(vs->TextMatrix(1, 2), QStringLiteral("Holder 40"));
}

// Certificates valid for 10 and 40 more days; the day setting goes from 0 to 30 through the settings
// frame: the row within the days is tinted and the legend says so, without a reload.
void TestListDesk::tintsFollowAChangedDaySetting() {
    RegisterWindow h;
    h.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0"));
    h.store(record(1, QStringLiteral("Ten days"), QStringLiteral("15/12/2026 10:30:00")));
    h.store(record(2, QStringLiteral("Forty days"), QStringLiteral("14/01/2027 10:30:00")));
    h.open();
    QAbstractItemModel* model = h.w->vs->model();
    QCOMPARE(names(h), QStringList({"Forty days", "Ten days"}));
    QCOMPARE(model->index(1, 2).data(Qt::BackgroundRole), QVariant());
    h.click(h.w->cmdsettings);
    if (h.w->chkauto->checkState() != Qt::Checked)
        h.click(h.w->chkauto);
    h.w->txtdays[1]->selectAll();
    QTest::keyClicks(h.w->txtdays[1], QStringLiteral("30"));
    h.click(h.w->cmdback[1]);
    QVERIFY(h.w->vs->isVisible());
    QCOMPARE(model->index(1, 2).data(Qt::BackgroundRole), QVariant(CertListModel::expiringTint()));
    QCOMPARE(model->index(0, 2).data(Qt::BackgroundRole), QVariant());
    QCOMPARE(h.find<QLabel>(QStringLiteral("lblexpiring"))->text(), QStringLiteral("Expires within 30 days"));
}

// Now is 05/12/2026 10:30:00. No, the default, keeps the form; a change that keeps an expired
// record's date is not asked about again; a certificate valid a minute longer is not asked about.
void TestListDesk::savingAnExpiredCertificateAsksFirst() {
    RegisterWindow h;
    h.open();
    h.click(h.w->cmdadd);
    h.fill(QStringLiteral("Old certificate"), regtest::kFrom, QStringLiteral("05/12/2026 10:30:00"));
    h.fx.dialogs->queueNo();
    h.click(h.w->cmdupdate);
    QCOMPARE(h.said(), QStringList{QStringLiteral("This certificate expired on 05/12/2026 10:30:00. Save it anyway?")});
    QCOMPARE(h.fx.dialogs->shown().back().defaultButton, kyt::Answer::No);
    QVERIFY(h.w->cmdupdate->isVisible());
    QCOMPARE(RegisterWindow::focus(), h.date(1));
    QVERIFY(h.numbers().isEmpty());
    h.fx.dialogs->queueYes();
    h.click(h.w->cmdupdate);
    QCOMPARE(h.numbers(), QList<int>{1});

    h.fx.dialogs->clear();
    h.click(h.w->cmdmodify);
    h.text(6)->setText(QStringLiteral("old@example.in"));
    h.click(h.w->cmdupdate);
    QCOMPARE(h.column(1, "Email"), QStringLiteral("old@example.in"));
    QVERIFY(h.said().isEmpty());
    h.click(h.w->cmdadd);
    h.fill(QStringLiteral("Still valid"), regtest::kFrom, QStringLiteral("05/12/2026 10:31:00"));
    h.click(h.w->cmdupdate);
    QVERIFY(h.said().isEmpty());
    QCOMPARE(h.numbers(), QList<int>({1, 2}));
}

// "Export…" writes what the list shows, narrowed and sorted, as a workbook or as the safe CSV;
// a path that is no regular file is refused with one message and nothing written.
void TestListDesk::exportWritesTheRowsAsShown() {
    QFETCH(QString, backend);
    RegisterWindow h(backend);
    Record anil = record(1, QStringLiteral("Anil"));
    anil.serial = QStringLiteral("0012345678901234567890");
    anil.mobile = QStringLiteral("+91 98765 43210");
    h.store(anil);
    h.store(record(2, QStringLiteral("=cmd|' /C calc'!A0")));
    h.store(record(3, QStringLiteral("Bina")));
    h.open();
    clickHeading(h, 2);
    clickHeading(h, 2);
    h.w->vs->setFocus();
    QTest::keyClick(h.w->vs, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(h.find<ListFindBar>(QStringLiteral("famfind"))->box(), QStringLiteral("n"));
    QCOMPARE(names(h), QStringList({"Bina", "Anil"}));

    // A name typed without an ending gets the one of the type chosen in the save dialog.
    const QString book = h.fx.folder + QStringLiteral("/out/list.xlsx");
    QVERIFY(QDir().mkpath(h.fx.folder + QStringLiteral("/out")));
    h.fx.dialogs->queue(kyt::ScriptedDialogs::SaveAs{h.fx.folder + QStringLiteral("/out/list"), 0});
    h.click(h.w->cmdexport);
    QCOMPARE(h.said(), QStringList{QStringLiteral("2 certificates exported.")});
    const QList<QStringList> rows = testsupport::xlsxRows(book);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[1].value(1), QStringLiteral("B2|string|Bina|@"));
    QCOMPARE(rows[2].value(0), QStringLiteral("A3|number|2|"));
    QCOMPARE(rows[2].value(2), QStringLiteral("D3|string|0012345678901234567890|@"));
    // Empty cells are left out of the sheet: the type and the issuer here.
    QVERIFY2(rows[2].value(3).startsWith(QStringLiteral("F3|number|40269.4166")), qPrintable(rows[2].value(3)));
    QVERIFY(rows[2].value(4).startsWith(QStringLiteral("G3|number|47573.4166")));
    QVERIFY(rows[2].value(4).endsWith(QStringLiteral("|dd/mm/yyyy hh:mm:ss")));
    QCOMPARE(rows[2].value(5), QStringLiteral("I3|string|+91 98765 43210|@"));

    // Every row once the box is cleared; the formula is neutralised as `dscmgr list --csv` does it.
    QTest::keyClick(h.find<ListFindBar>(QStringLiteral("famfind"))->box(), Qt::Key_Escape);
    h.fx.dialogs->clear();
    const QString csv = h.fx.folder + QStringLiteral("/out/list.csv");
    h.fx.dialogs->queue(kyt::ScriptedDialogs::SaveAs{h.fx.folder + QStringLiteral("/out/list"), 1});
    h.click(h.w->cmdexport);
    QVERIFY(!QFileInfo::exists(h.fx.folder + QStringLiteral("/out/list")));
    const QByteArray text = testsupport::readFile(csv);
    QVERIFY2(text.startsWith("\xEF\xBB\xBFSr. No.,Certificate Name,"), text);
    const QList<QByteArray> lines = text.split('\n');
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines[2].startsWith("2,Anil,,0012345678901234567890,"));
    QVERIFY2(lines[3].startsWith("3,'=cmd|' /C calc'!A0,,S2,"), lines[3]);

    // An ending the dialog offers stands, whichever type is chosen.
    h.fx.dialogs->clear();
    h.fx.dialogs->queue(kyt::ScriptedDialogs::SaveAs{h.fx.folder + QStringLiteral("/out/other.CSV"), 0});
    h.click(h.w->cmdexport);
    QCOMPARE(testsupport::readFile(h.fx.folder + QStringLiteral("/out/other.CSV")), text);

    // A folder or a device is no file to export to.
    for (const QString& refused : {h.fx.folder + QStringLiteral("/out"), QStringLiteral("/dev/null")}) {
        h.fx.dialogs->clear();
        h.fx.dialogs->queue(refused);
        h.click(h.w->cmdexport);
        QCOMPARE(h.said().size(), 1);
        QVERIFY2(h.said().value(0).contains(QStringLiteral("not a regular file")), qPrintable(h.said().value(0)));
    }
    QCOMPARE(testsupport::readFile(csv), text);
}

QTEST_MAIN(TestListDesk)
#include "test_list_desk.moc"
