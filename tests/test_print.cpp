// Printing: the preview frame driven as a user drives it, against a report component that records
// every call; the real report component through `dscmgr report --pdf` and the print preview, its
// PDFs read back with pdftotext, checked with qpdf, and rendered with pdftoppm to compare the
// report's own writer with the general one pixel by pixel.

#include "component/Module1.h"
#include "host/HostOptions.h"
#include "platform/LibraryRegistration.h"
#include "support/RegisterWindowHarness.h"

#include <cmath>
#include <numeric>
#include <QAbstractItemModelTester>
#include <QDialogButtonBox>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QTimer>
#include <QToolButton>

using regtest::Record;

namespace {
const QChar kEsc(27);

QStringList texts(const QVariant& list) {
    QStringList out;
    for (const QVariant& v : list.toList())
        out << v.toString();
    return out;
}

QList<int> numbers(const QVariant& list) {
    QList<int> out;
    for (const QVariant& v : list.toList())
        out << v.toInt();
    return out;
}

// The register window with a recording report object made through the object registry.
struct PrintWindow : regtest::RegisterWindow {
    PrintWindow() {
        QString error;
        if (!kyt::registerLibrary(*fx.objects, QStringLiteral(KYT_RECORDING_REPORT), &error))
            qFatal("%s", qPrintable(error));
        ReportObj() = fx.objects->create(QStringLiteral("PrjLumen.RepView"));
    }
    ~PrintWindow() { ReportObj().reset(); }

    void storeThree() {
        store({1, QStringLiteral("Asha Rao"), QStringLiteral("Class 3"), QStringLiteral("0A1B"),
               QStringLiteral("CA One"), QStringLiteral("01/04/2020 10:00:00"), QStringLiteral("31/03/2022 10:00:00"),
               QStringLiteral("a@x.in")});
        store({2, QStringLiteral("Bala \"B\" Iyer"), QStringLiteral("Class 2"), QStringLiteral("77FF"),
               QStringLiteral("CA Two"), QStringLiteral("02/04/2020 10:00:00"), QStringLiteral("31/03/2030 10:00:00")});
        store({3, QStringLiteral("Chitra, Devi"), QStringLiteral("Class 3"), QStringLiteral("99EE"),
               QStringLiteral("CA One"), QStringLiteral("03/04/2020 10:00:00"), QStringLiteral("31/03/2031 10:00:00")});
    }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void preview() { click(w->cmdpreview); }
    void proceed() { click(w->cmdproceed); }
    // Toggles the "Print" box of a row of the column grid with the mouse.
    void togglePrint(int row) {
        const QRect cell = w->vsP->visualRect(w->vsP->model()->index(row, PrintColumnModel::kPrintColumn));
        QTest::mouseClick(w->vsP->viewport(), Qt::LeftButton, {}, cell.center());
    }
    QList<int> tickedRows() const {
        QList<int> rows;
        for (int r = 1; r < w->vsP->Rows(); ++r)
            if (PrintColumnModel::ticked(w->vsP->TextMatrix(r, PrintColumnModel::kPrintColumn)))
                rows << r;
        return rows;
    }
    QVariantList calls() const { return kyt::callByName(ReportObj().get(), "Calls").toList(); }
    QStringList members() const {
        QStringList out;
        for (const QVariant& c : calls())
            out << c.toList().first().toString();
        return out;
    }
    // The arguments of the WriteToReport calls, in order.
    QList<QVariantList> rows() const {
        QList<QVariantList> out;
        for (const QVariant& c : calls())
            if (c.toList().first() == QStringLiteral("WriteToReport"))
                out << c.toList().mid(1);
        return out;
    }
    QString setting() const {
        return fx.cls->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCPrCols"), QStringLiteral("-"));
    }
    // From now on the real report component prints: into `pdf` when given, else in its preview.
    void useRealReport(const QString& pdf = {}) {
        QString error;
        if (!kyt::registerLibrary(*fx.objects, testsupport::binDir() + QStringLiteral("/libKYTReport.so"), &error))
            qFatal("%s", qPrintable(error));
        ReportObj() = fx.objects->create(QStringLiteral("PrjLumen.RepView"));
        kyt::callByName(ReportObj().get(), "SetPdfOutput", {pdf});
    }
};

// The PDF's text: in reading order, or laid out as on the page.
QString pdfText(const QString& pdf, bool layout = true) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), (layout ? QStringList{QStringLiteral("-layout")} : QStringList()) +
                                                QStringList{pdf, QStringLiteral("-")});
    text.waitForFinished(60000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

// What qpdf finds wrong with a PDF's structure (cross-references, streams, objects); empty if nothing.
QString pdfFaults(const QString& pdf) {
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf});
    if (!check.waitForFinished(60000) || check.exitStatus() != QProcess::NormalExit || check.exitCode() != 0)
        return pdf + QStringLiteral(": ") + QString::fromUtf8(check.readAll()) + check.errorString();
    return {};
}

// The pages of a PDF rendered at 72 dpi.
QList<QImage> renderedPages(const QString& pdf) {
    const QString prefix = pdf + QStringLiteral("-page");
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"), pdf, prefix});
    render.waitForFinished(120000);
    const QFileInfo at(prefix);
    QList<QImage> pages;
    for (const QString& name : at.dir().entryList({at.fileName() + QStringLiteral("-*.png")}, QDir::Files, QDir::Name))
        pages << QImage(at.dir().filePath(name)).convertToFormat(QImage::Format_RGB32);
    return pages;
}

// How two renderings differ: empty when every page has every pixel alike.
QString pixelDifference(const QList<QImage>& a, const QList<QImage>& b) {
    if (a.size() != b.size() || a.isEmpty())
        return QStringLiteral("%1 pages against %2").arg(a.size()).arg(b.size());
    for (qsizetype p = 0; p < a.size(); ++p) {
        if (a[p].size() != b[p].size())
            return QStringLiteral("page %1 differs in size").arg(p + 1);
        qsizetype differing = 0;
        for (int y = 0; y < a[p].height(); ++y) {
            const auto* ra = reinterpret_cast<const QRgb*>(a[p].constScanLine(y));
            const auto* rb = reinterpret_cast<const QRgb*>(b[p].constScanLine(y));
            for (int x = 0; x < a[p].width(); ++x)
                differing += ra[x] != rb[x];
        }
        if (differing)
            return QStringLiteral("page %1: %2 pixels differ").arg(p + 1).arg(differing);
    }
    return {};
}

// The open print preview window.
QPrintPreviewDialog* shownPreview() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QPrintPreviewDialog*>(top); d && d->isVisible())
            return d;
    return nullptr;
}

// Prints from the preview window into a PDF file as a user does: the window's "Print" button, then
// "Print" in the print dialog, with a PDF file chosen as the printer.
void printFromPreview(QPrintPreviewDialog* dialog, const QString& pdf) {
    dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
    dialog->printer()->setOutputFileName(pdf);
    QToolButton* print = nullptr;
    for (auto* button : dialog->findChildren<QToolButton*>())
        if (button->defaultAction() && button->defaultAction()->text() == QStringLiteral("Print"))
            print = button;
    QVERIFY(print);
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&answer] {
        auto* asked = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!asked)
            return;
        answer.stop();
        auto* buttons = asked->findChild<QDialogButtonBox*>();
        QVERIFY(buttons && buttons->button(QDialogButtonBox::Ok));
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    answer.start(50);
    QTest::mouseClick(print, Qt::LeftButton);
    QVERIFY(!answer.isActive());
}

int pdfPages(const QString& pdf) {
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished(60000);
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const qsizetype at = out.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : out.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}
} // namespace

class TestPrint : public testsupport::DialogsCheckedTest {
    Q_OBJECT
private Q_SLOTS:
    void previewOpensOnTheSavedChoice();
    void proceedWritesTheListAsATable();
    void widthsFollowTheListColumns();
    void saveSetupNeedsAColumn();
    void failingReportIsLoggedAndTheWindowStays();
    void printedPagesMatchThePreview();
    void namesReadBackAsStoredOnEveryPage();
    void reportCommand();
};

void TestPrint::previewOpensOnTheSavedChoice() {
    PrintWindow pw;
    pw.storeThree();
    pw.open();
    frmDscMain* w = pw.w;
    const QAbstractItemModelTester contract(w->vsP->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    // No saved choice: every visible column ticked, the key column hidden and clear.
    pw.preview();
    QVERIFY(w->famprev->isVisible() && !w->fammain->isVisible());
    QCOMPARE(QApplication::focusWidget(), w->cmdproceed);
    QCOMPARE(w->vsP->Rows(), 18);
    QCOMPARE(w->vsP->TextMatrix(0, 0), QStringLiteral("Column Heading"));
    QCOMPARE(w->vsP->TextMatrix(0, 1), QStringLiteral("Print"));
    QVERIFY(w->vsP->HeadingChecked());
    QCOMPARE(w->vsP->TextMatrix(3, 0), QStringLiteral("Certificate Name"));
    QCOMPARE(w->vsP->TextMatrix(17, 0), QStringLiteral("Address Proof File Name"));
    QVERIFY(w->vsP->RowHidden(2));
    QCOMPARE(w->vsP->TextMatrix(2, 1), QStringLiteral("0"));
    QCOMPARE(pw.tickedRows().size(), 16);

    // Escape leaves the preview; the choice is read anew on every opening.
    QTest::keyClick(w->vsP, Qt::Key_Escape);
    QVERIFY(w->fammain->isVisible() && !w->famprev->isVisible());
    QCOMPARE(QApplication::focusWidget(), w->cmdpreview);
    pw.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCPrCols"), QStringLiteral("3,8"));
    pw.preview();
    QCOMPARE(pw.tickedRows(), (QList<int>{3, 8}));

    // A junk choice: numbers that name no row are ignored.
    pw.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCPrCols"), QStringLiteral("a,,99,-1,3"));
    pw.click(w->cmdback[2]);
    QVERIFY(w->fammain->isVisible());
    pw.preview();
    QCOMPARE(pw.tickedRows(), QList<int>{3});

    // Only the "Print" column takes clicks; the heading row's box ticks and clears every row.
    QTest::mouseClick(w->vsP->viewport(), Qt::LeftButton, {},
                      w->vsP->visualRect(w->vsP->model()->index(4, 0)).center());
    QCOMPARE(pw.tickedRows(), QList<int>{3});
    pw.togglePrint(0);
    QVERIFY(!w->vsP->HeadingChecked());
    QVERIFY(pw.tickedRows().isEmpty());
    pw.togglePrint(0);
    QCOMPARE(pw.tickedRows().size(), 17); // the hidden key row too

    // Opened from entry mode, the preview goes back to entry mode with the typed text kept.
    pw.click(w->cmdback[2]);
    pw.click(w->cmdadd);
    pw.text(0)->setText(QStringLiteral("Typed"));
    pw.preview();
    QVERIFY(w->famprev->isVisible());
    pw.click(w->cmdback[2]);
    QVERIFY(!w->vs->isEnabled());
    QCOMPARE(pw.text(0)->text(), QStringLiteral("Typed"));
}

void TestPrint::proceedWritesTheListAsATable() {
    PrintWindow pw;
    pw.storeThree();
    pw.open();
    frmDscMain* w = pw.w;
    pw.preview();
    pw.proceed();

    const int rowsInList = w->vs->Rows() - 1;
    QCOMPARE(rowsInList, 3);
    QStringList expected = {QStringLiteral("SetCol130"),    QStringLiteral("WinModeReport"),
                            QStringLiteral("NewReport"),    QStringLiteral("WriteToReport"),
                            QStringLiteral("PrintText"),    QStringLiteral("createtable"),
                            QStringLiteral("WriteToReport")};
    for (int i = 0; i < rowsInList; ++i)
        expected << QStringLiteral("WriteToReport");
    expected << QStringLiteral("ShowReport");
    QCOMPARE(pw.members(), expected);
    const QVariantList calls = pw.calls();
    QCOMPARE(calls[0].toList()[1], QVariant(true));
    QCOMPARE(calls[1].toList()[1], QVariant(true));
    const QChar codes[] = {kEsc, QChar(15), kEsc, QLatin1Char('P'), QLatin1Char(';')};
    QCOMPARE(calls[4].toList()[1].toString(), QString(codes, 5));
    QCOMPARE(numbers(QVariantList(calls[5].toList().mid(1))), (QList<int>{1, 16}));

    const QList<QVariantList> rows = pw.rows();
    // Title: the list's heading in bold, 78 characters, centred; the rest empty.
    const QVariantList& title = rows[0];
    QCOMPARE(title[0].toList()[0].toString(),
             kEsc + QStringLiteral("EList of All Certificates") + kEsc + QStringLiteral("F"));
    QVERIFY(!title[0].toList()[1].isValid());
    QCOMPARE(numbers(title[1]), QList<int>{78} + QList<int>(15, 0));
    QCOMPARE(numbers(title[2]), QList<int>{1} + QList<int>(15, 0));
    QCOMPARE(texts(title[3]), QStringList(16));
    QCOMPARE(texts(title[4]), QStringList(16));
    QCOMPARE(texts(QVariantList(title.mid(5, 4))), QStringList(4, QStringLiteral("0")));
    QCOMPARE(title[9], QVariant(false));

    // Heading row: widths in proportion to the list's fitted to their contents (not as shortened
    // to fit the window), headings centred.
    const QVariantList& heading = rows[1];
    QStringList headings;
    QList<int> widths;
    double total = 0;
    for (int c = 0; c < 17; ++c)
        if (c != 1)
            total += w->vs->printWidth(c);
    for (int c = 0; c < 17; ++c)
        if (c != 1) {
            headings << w->vs->TextMatrix(0, c);
            widths << int(std::nearbyint(w->vs->printWidth(c) / total * 130));
        }
    QCOMPARE(texts(heading[0]), headings);
    QCOMPARE(numbers(heading[1]), widths);
    QCOMPARE(numbers(heading[2]), QList<int>(16, 1));
    const QString ones(16, QLatin1Char('1'));
    QCOMPARE(texts(QVariantList(heading.mid(5, 4))),
             (QStringList{ones, QString(15, QLatin1Char('0')) + QLatin1Char('1'), ones, ones}));
    QCOMPARE(heading[9], QVariant(true));

    // Data rows in list order, texts as the list shows them, cell alignments of the list.
    for (int i = 1; i <= rowsInList; ++i) {
        QStringList cells;
        for (int c = 0; c < 17; ++c)
            if (c != 1)
                cells << w->vs->TextMatrix(i, c);
        QCOMPARE(texts(rows[1 + i][0]), cells);
        QCOMPARE(numbers(rows[1 + i][1]), widths);
        QCOMPARE(rows[1 + i][7].toString(), QStringLiteral("0"));
    }
    QCOMPARE(texts(rows[2][0])[1], QStringLiteral("Asha Rao"));
    QCOMPARE(texts(rows[2][0])[5], QStringLiteral("01/04/2020 10:00:00"));
    QCOMPARE(numbers(rows[2][2]), (QList<int>{1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // A saved choice of rows 3 and 8: the name and the end of validity.
    pw.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCPrCols"), QStringLiteral("3,8"));
    pw.click(w->cmdback[2]);
    ReportObj() = pw.fx.objects->create(QStringLiteral("PrjLumen.RepView"));
    pw.preview();
    pw.proceed();
    const QList<QVariantList> chosen = pw.rows();
    QCOMPARE(chosen.size(), 5);
    QCOMPARE(texts(chosen[1][0]), (QStringList{QStringLiteral("Certificate Name"), QStringLiteral("Valid To")}));
    QCOMPARE(texts(chosen[4][0]), (QStringList{QStringLiteral("Chitra, Devi"), QStringLiteral("31/03/2031 10:00:00")}));
    QCOMPARE(numbers(chosen[4][2]), (QList<int>{0, 1}));
    QCOMPARE(chosen[4][5].toString(), QStringLiteral("11"));
    QCOMPARE(chosen[4][6].toString(), QStringLiteral("01"));
}

void TestPrint::widthsFollowTheListColumns() {
    PrintWindow pw;
    pw.open(); // an empty list
    frmDscMain* w = pw.w;

    // The heading box off, then one row ticked: that column alone, the whole line wide.
    pw.preview();
    pw.togglePrint(0);
    pw.togglePrint(5);
    pw.proceed();
    QList<QVariantList> rows = pw.rows();
    QCOMPARE(rows.size(), 2); // empty list: title and heading only
    QCOMPARE(texts(rows[1][0]), QStringList{QStringLiteral("Serial No.")});
    QCOMPARE(numbers(rows[1][1]), QList<int>{130});
    QCOMPARE(pw.members().last(), QStringLiteral("ShowReport"));

    // Two columns of equal width in the list get half the line each.
    w->vs->setColumnWidth(9, 90);
    w->vs->setColumnWidth(10, 90);
    pw.togglePrint(5);
    pw.togglePrint(10);
    pw.togglePrint(11);
    ReportObj() = pw.fx.objects->create(QStringLiteral("PrjLumen.RepView"));
    pw.proceed();
    rows = pw.rows();
    QCOMPARE(numbers(rows[1][1]), (QList<int>{65, 65}));

    // Nothing ticked: the user is told, and the new report is never shown.
    pw.togglePrint(10);
    pw.togglePrint(11);
    ReportObj() = pw.fx.objects->create(QStringLiteral("PrjLumen.RepView"));
    pw.proceed();
    QCOMPARE(pw.said(), QStringList{QStringLiteral("Select atleast one column.")});
    QCOMPARE(pw.members(),
             (QStringList{QStringLiteral("SetCol130"), QStringLiteral("WinModeReport"), QStringLiteral("NewReport")}));
    QCOMPARE(QApplication::focusWidget(), w->vsP);
}

void TestPrint::saveSetupNeedsAColumn() {
    PrintWindow pw;
    pw.open();
    frmDscMain* w = pw.w;
    pw.preview();
    pw.togglePrint(0);
    pw.togglePrint(3);
    pw.togglePrint(8);
    pw.click(w->cmdsaveprev);
    QCOMPARE(pw.setting(), QStringLiteral("3,8"));
    QVERIFY(pw.said().isEmpty());

    // Nothing ticked: the previous choice stays.
    pw.togglePrint(3);
    pw.togglePrint(8);
    pw.click(w->cmdsaveprev);
    QCOMPARE(pw.setting(), QStringLiteral("3,8"));
    QCOMPARE(pw.said(), QStringList{QStringLiteral("Select atleast one column.")});
    QCOMPARE(QApplication::focusWidget(), w->vsP);
}

void TestPrint::failingReportIsLoggedAndTheWindowStays() {
    PrintWindow pw;
    pw.storeThree();
    pw.open();
    frmDscMain* w = pw.w;

    // A report object that fails on every row: a line for each row, the run goes on to the end.
    ReportObj() = pw.fx.objects->create(QStringLiteral("Broken.RepView"));
    pw.preview();
    pw.proceed();
    QStringList lines = pw.fx.logLines();
    QCOMPARE(lines.size(), 5); // the title row, the heading row and the three data rows
    for (const QString& line : lines)
        QVERIFY2(line.contains(QStringLiteral("\t438\tObject doesn't support this property or method\t")) &&
                     line.endsWith(QStringLiteral("\tfrmDscMain\tCMDPREVIEW_CLICK")),
                 qPrintable(line));
    QCOMPARE(pw.members().last(), QStringLiteral("ShowReport"));

    // No report object at all: every call is logged, and the window stays usable.
    ReportObj().reset();
    pw.proceed();
    QVERIFY(pw.fx.logLines().size() > lines.size());
    QVERIFY(pw.fx.logText().contains(QStringLiteral("\t91\tObject variable not set\t")));
    pw.click(w->cmdback[2]);
    QVERIFY(w->fammain->isVisible());
    QVERIFY(w->vs->isEnabled());
}

void TestPrint::printedPagesMatchThePreview() {
    PrintWindow pw;
    // Four-digit record numbers: printed in a column of no width, each digit took a line.
    QSqlDatabase conn = pw.fx.db->connection();
    conn.transaction();
    for (int i = 1; i <= 126; ++i)
        pw.store({7000 + i, QStringLiteral("Holder %1 of a practice").arg(i), QStringLiteral("Class 3"),
                  QStringLiteral("AB%1").arg(i % 10), QStringLiteral("CA One")});
    conn.commit();
    pw.open();
    frmDscMain* w = pw.w;
    const QString pdf = pw.fx.folder + QStringLiteral("/report.pdf");

    // The heading box off and on ticks the hidden key column too; its width of 0 leaves it out.
    pw.useRealReport(pdf);
    pw.preview();
    pw.togglePrint(0);
    pw.togglePrint(0);
    QVERIFY(pw.tickedRows().contains(2));
    pw.proceed();
    const QString text = pdfText(pdf);
    // One line a row: the key's digits, stacked in no room, made every row four lines high.
    const QRegularExpression twoRows(
        QStringLiteral("\\n *1 +Holder 1 of a practice +Class 3 +AB1 [^\\n]*\\n *2 +Holder 10 of a practice "));
    QVERIFY2(text.contains(twoRows), qPrintable(text.left(1500)));
    const int pages = pdfPages(pdf);
    QCOMPARE(pages, 2);
    QCOMPARE(pdfFaults(pdf), QString());
    // Every row once: none lost at a page's end, none printed twice.
    QList<int> printed;
    for (auto it = QRegularExpression(QStringLiteral("Holder (\\d+) of a practice")).globalMatch(text); it.hasNext();)
        printed << it.next().captured(1).toInt();
    std::sort(printed.begin(), printed.end());
    QList<int> all(126);
    std::iota(all.begin(), all.end(), 1);
    QCOMPARE(printed, all);

    // The preview shows the pages the PDF has (it laid these rows out on three).
    pw.useRealReport();
    pw.proceed();
    QPrintPreviewDialog* dialog = shownPreview();
    QVERIFY(dialog);
    auto* shown = dialog->findChild<QPrintPreviewWidget*>();
    QTRY_COMPARE_WITH_TIMEOUT(shown->pageCount(), pages, 30000);
    dialog->close();
    QVERIFY(w->famprev->isVisible());
}

void TestPrint::namesReadBackAsStoredOnEveryPage() {
    PrintWindow pw;
    // A name of 10,000 characters, numbered words to tell each part from the others.
    QString longName;
    for (int i = 1; i <= 1666; ++i)
        longName += QStringLiteral("n%1 ").arg(i, 4, 10, QLatin1Char('0'));
    longName += QStringLiteral("tail");
    QCOMPARE(longName.size(), 10000);
    const QStringList names = {QStringLiteral("Asha Rao"), QStringLiteral("अमित शर्मा"), QStringLiteral("चित्रा देवी")};
    pw.store({1, names[0], QStringLiteral("Class 3"), QStringLiteral("0A1B"), QStringLiteral("CA One")});
    pw.store({2, names[1], QStringLiteral("Class 2"),
              QStringLiteral("00C2D5A1B7E94F3A8C6D0E1F2A3B4C5D6E7F8091A2B3C4D5E6F708192A3B00C2D5A1B7E94F3A8C6D"),
              QStringLiteral("CA Two")});
    pw.store({3, longName, QStringLiteral("Class 3"), QStringLiteral("99EE"), QStringLiteral("CA One")});
    pw.store({4, names[2], QStringLiteral("Class 3"), QStringLiteral("77FF"), QStringLiteral("CA One")});
    pw.fx.cls->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCPrCols"), QStringLiteral("3,5,6,7,8"));
    pw.open();

    // The names as stored, the long one whole and once, in order, over the pages it continues on.
    auto readsAsStored = [&](const QString& pdf) {
        QCOMPARE(pdfFaults(pdf), QString());
        const QString text = pdfText(pdf, false);
        for (const QString& name : names)
            QVERIFY2(text.count(name) == 1, qPrintable(name + QStringLiteral(" in:\n") + text.left(3000)));
        QList<int> words;
        for (auto it = QRegularExpression(QStringLiteral("\\bn(\\d{4})\\b")).globalMatch(text); it.hasNext();)
            words << it.next().captured(1).toInt();
        QList<int> all(1666);
        std::iota(all.begin(), all.end(), 1);
        QCOMPARE(words, all);
        QCOMPARE(text.count(QStringLiteral("tail")), 1);
    };
    const QString fast = pw.fx.folder + QStringLiteral("/fast.pdf");
    pw.useRealReport(fast);
    pw.preview();
    pw.proceed();
    const int pages = pdfPages(fast);
    QVERIFY2(pages >= 2 && pages <= 6, qPrintable(QString::number(pages)));
    readsAsStored(fast);

    // The general writer puts every pixel where the report's own writer does.
    const QString general = pw.fx.folder + QStringLiteral("/general.pdf");
    qputenv("KYT_PDF_WRITER", "toolkit");
    pw.useRealReport(general);
    pw.proceed();
    qunsetenv("KYT_PDF_WRITER");
    QCOMPARE(pdfFaults(general), QString());
    QCOMPARE(pixelDifference(renderedPages(fast), renderedPages(general)), QString());

    // The preview shows as many pages, and prints the same text into a PDF.
    pw.useRealReport();
    pw.proceed();
    QPrintPreviewDialog* dialog = shownPreview();
    QVERIFY(dialog);
    QTRY_COMPARE_WITH_TIMEOUT(dialog->findChild<QPrintPreviewWidget*>()->pageCount(), pages, 30000);
    const QString printed = pw.fx.folder + QStringLiteral("/printed.pdf");
    printFromPreview(dialog, printed);
    QCOMPARE(pdfPages(printed), pages);
    readsAsStored(printed);
    if (dialog->isVisible())
        dialog->close();
}

void TestPrint::reportCommand() {
    testsupport::ComponentFixture fx;
    fx.db->execute(StoreStatements::createTable());
    auto add = [&](int n, const QString& name, const QString& serial, const QString& from) {
        StoreStatements::RecordValues v;
        v[0] = name;
        v[1] = QStringLiteral("Class 3");
        v[2] = serial;
        v[3] = QStringLiteral("CA One");
        v[4] = from;
        v[5] = QStringLiteral("31/03/2031 10:00:00");
        v[6] = QStringLiteral("x@example.in");
        fx.db->execute(StoreStatements::insertRecord(n, v));
    };
    const QString longSerial = QStringLiteral("00C2D5A1B7E94F3A8C6D0E1F2A3B4C5D6E7F8091A2B3C4D5E6F708192A3B");
    add(1, QStringLiteral("Asha Rao"), QStringLiteral("0A1B"), QStringLiteral("01/04/2020 10:00:00"));
    add(2, QStringLiteral("Bala \"B\", Iyer"), longSerial, QStringLiteral("02/04/2020 10:00:00"));
    add(3, QStringLiteral("चित्रा देवी"), QStringLiteral("99EE"), QStringLiteral("03/04/2020 10:00:00"));

    const QString registry = fx.folder + QStringLiteral("/host-objects.ini");
    const QStringList where = {QStringLiteral("--folder"), fx.folder, QStringLiteral("--db"),
                               QStringLiteral("sqlite:") + fx.db->connection().databaseName()};
    auto run = [&](const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KYT_OBJECT_REGISTRY"), registry);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), fx.folder); // else the toolkit warns on stderr
        p.setProcessEnvironment(env);
        p.start(testsupport::binDir() + QStringLiteral("/dscmgr"), args + where);
        if (!p.waitForFinished(120000))
            p.kill();
        return std::make_tuple(p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError()));
    };

    // The PDF holds the title, the chosen headings and the rows in list order, and no control code.
    const QString pdf = fx.folder + QStringLiteral("/out/report.pdf");
    QDir().mkpath(fx.folder + QStringLiteral("/out"));
    auto [status, out, err] = run(
        {QStringLiteral("report"), QStringLiteral("--pdf"), pdf, QStringLiteral("--columns"), QStringLiteral("1,3,5")});
    QVERIFY2(status == 0, qPrintable(err));
    const QString page = pdfText(pdf);
    QVERIFY2(page.contains(QStringLiteral("List of All Certificates")), qPrintable(page));
    QVERIFY(page.contains(QStringLiteral("Sr. No.")) && page.contains(QStringLiteral("Certificate Name")) &&
            page.contains(QStringLiteral("Serial No.")));
    QVERIFY(!page.contains(QStringLiteral("Valid To")));
    const qsizetype asha = page.indexOf(QStringLiteral("Asha Rao"));
    const qsizetype bala = page.indexOf(QStringLiteral("Bala \"B\", Iyer"));
    const qsizetype devi = page.indexOf(QStringLiteral("देवी"));
    QVERIFY2(asha > 0 && bala > asha && devi > bala, qPrintable(page));
    // The long serial wraps inside its column: its start and its end are both there.
    QVERIFY(page.contains(longSerial.left(20)) && page.contains(longSerial.right(6)));
    QVERIFY(page.contains(QStringLiteral("Page 1 of 1")));
    QVERIFY2(err.isEmpty(), qPrintable(err));
    QCOMPARE(pdfFaults(pdf), QString());
    for (QChar c : page)
        QVERIFY2(c.unicode() >= 32 || c == QLatin1Char('\n') || c == QLatin1Char('\f'), qPrintable(page));
    QVERIFY(!page.contains(QStringLiteral(";")));

    // The general writer, asked for: the command says so in one line.
    qputenv("KYT_PDF_WRITER", "toolkit");
    std::tie(status, out, err) = run({QStringLiteral("report"), QStringLiteral("--pdf"), pdf});
    qunsetenv("KYT_PDF_WRITER");
    QCOMPARE(status, 0);
    QCOMPARE(err.count(QLatin1Char('\n')), 1);
    QVERIFY2(err.startsWith(QStringLiteral("dscmgr: The PDF was written by the slower general writer")),
             qPrintable(err));
    QCOMPARE(pdfFaults(pdf), QString());

    // A folder that cannot be written: one line, status 2, no file.
    const QString blocked = fx.folder + QStringLiteral("/out/report.pdf/inside.pdf");
    std::tie(status, out, err) = run({QStringLiteral("report"), QStringLiteral("--pdf"), blocked});
    QCOMPARE(status, 2);
    QCOMPARE(err.count(QLatin1Char('\n')), 1);
    QVERIFY2(err.startsWith(QStringLiteral("dscmgr: Cannot write")), qPrintable(err));
    QVERIFY(!QFileInfo::exists(blocked));
    QCOMPARE(QDir(fx.folder + QStringLiteral("/out")).entryList(QDir::Files),
             QStringList{QStringLiteral("report.pdf")});

    // The command line refuses a report without a file and columns that name no printable column.
    QString why;
    for (const QStringList& bad :
         {QStringList{QStringLiteral("report")}, QStringList{QStringLiteral("report"), QStringLiteral("--pdf"), pdf,
                                                             QStringLiteral("--columns"), QStringLiteral("2,3")}})
        QVERIFY(!HostOptions::parse(bad, &why) && !why.isEmpty());
}

QTEST_MAIN(TestPrint)
#include "test_print.moc"
