// Times printing the register:
//   (a) "&Proceed" clicked until the first page of the print preview has been painted, against a
//       reload of the same list in the same run (the ratio is the figure to watch);
//   (b) "&Proceed" writing the whole report to a PDF file, against its target (0.5 s for 10,000
//       rows, 5 s for 100,000);
//   (c) a PDF of one cell of 100,000 and of 400,000 characters with no blank, against 0.2 s, and
//       how the time grows with the length (4 is linear, 16 square).
// Times are wall clock; the processor time is printed beside them, as the machine may be shared.
// Usage: bench_print [--keep FOLDER] [ROWS...]   (default 10000 100000). Run under Xvfb or offscreen.
// With --keep, the registers and PDFs are left in FOLDER (to compare pages with another build's).

#include "BenchData.h"
#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "report/ReportViewer.h"

#include <ctime>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGraphicsView>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
// Notes when the pages of a print preview are first painted (the window may paint as it shows).
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
    double at = -1;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (at < 0 && event->type() == QEvent::Paint)
            if (auto* view = qobject_cast<QGraphicsView*>(watched->parent());
                view && view->viewport() == watched && qobject_cast<QPrintPreviewWidget*>(view->parentWidget()))
                at = double(clock_.nsecsElapsed()) / 1e6;
        return false;
    }

private:
    const QElapsedTimer& clock_;
};

QPrintPreviewDialog* openPreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QPrintPreviewDialog*>(w); d && d->isVisible())
            return d;
    return nullptr;
}

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

double cpuMs() {
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

// Which writer wrote the last PDF: the report's own, or the general one (and why).
QString writerUsed(const ReportViewer& report) {
    const QString note = report.LastNote().toString();
    return note.isEmpty() ? QStringLiteral("the report's own (fast)") : QStringLiteral("general (slow): ") + note;
}

// The PDF target for a number of rows: 0.5 s for 10,000, 5 s for 100,000 (50 µs a row).
double pdfTargetMs(int rows) {
    return rows * 0.05;
}

void run(int rows, const QString& folder, QTextStream& out) {
    auto db = bench::openDb(QStringLiteral("sqlite:%1/bench%2.db").arg(folder).arg(rows));
    bench::fill(*db, rows);
    auto cls = std::make_shared<ClsMain>();
    cls->DocPath = folder;
    cls->Db = db;
    cls->LogFlNm = QStringLiteral("bench.log");
    auto report = std::make_shared<ReportViewer>(QStringLiteral("PrjLumen.RepView"));
    ReportObj() = report;

    frmDscMain window;
    window.ClsObj = cls;
    window.show();
    auto reloadAll = [&] {
        frmDscMain::setTag(window.options[0], QStringLiteral("-1"));
        window.options_Click(0);
        QApplication::processEvents();
    };
    reloadAll();
    QElapsedTimer timer;
    timer.start();
    reloadAll();
    const double reload = ms(timer);

    window.cmdpreview->click();
    QApplication::processEvents();
    FirstPaint watch(timer);
    qApp->installEventFilter(&watch);
    timer.restart();
    window.cmdproceed->click();
    const double clicked = ms(timer);
    QPrintPreviewDialog* dialog = openPreview();
    auto* pages = dialog ? dialog->findChild<QPrintPreviewWidget*>() : nullptr;
    while (pages && watch.at < 0 && timer.elapsed() < 600000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    qApp->removeEventFilter(&watch);
    const double firstPage = watch.at;
    // The rest is laid out while the window is open.
    while (dialog && pages && pages->pageCount() < 2 && timer.elapsed() < 600000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    // Every page is shown once the page count has stood still for two seconds.
    constexpr int kStill = 2000;
    QElapsedTimer still;
    still.start();
    int shown = pages ? pages->pageCount() : 0;
    double rest = ms(timer);
    while (pages && still.elapsed() < kStill && timer.elapsed() < 600000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (pages->pageCount() != shown) {
            shown = pages->pageCount();
            rest = ms(timer);
            still.restart();
        }
    }
    if (dialog)
        dialog->close();
    QApplication::processEvents();

    const QString pdf = folder + QStringLiteral("/bench%1.pdf").arg(rows);
    report->SetPdfOutput(pdf);
    const double cpuBefore = cpuMs();
    timer.restart();
    window.cmdproceed->click();
    const double pdfTime = ms(timer);
    const double pdfCpu = cpuMs() - cpuBefore;
    report->SetPdfOutput(QString());

    out << "rows: " << rows << '\n';
    out << QStringLiteral("list reload: %1 ms\n").arg(reload, 0, 'f', 1);
    out << QStringLiteral("proceed until the first preview page is painted: %1 ms%2\n")
               .arg(firstPage, 0, 'f', 1)
               .arg(pages ? QString() : QStringLiteral(" (no preview window found)"));
    out << QStringLiteral("  of which the click itself (rows written, window opened): %1 ms\n").arg(clicked, 0, 'f', 1);
    out << QStringLiteral("ratio: %1\n").arg(firstPage / reload, 0, 'f', 2);
    out << QStringLiteral("preview complete, %1 pages shown: %2 ms\n").arg(shown).arg(rest, 0, 'f', 1);
    out << QStringLiteral("proceed writing the PDF: %1 ms, processor %2 ms (%3 KB)%4\n")
               .arg(pdfTime, 0, 'f', 1)
               .arg(pdfCpu, 0, 'f', 1)
               .arg(QFileInfo(pdf).size() / 1024)
               .arg(report->LastError().toString().isEmpty() ? QString()
                                                             : QStringLiteral(" ") + report->LastError().toString());
    out << QStringLiteral("PDF writer: %1\n").arg(writerUsed(*report));
    out << QStringLiteral("ratio to the target of %1 ms: %2 (processor %3)\n")
               .arg(pdfTargetMs(rows), 0, 'f', 0)
               .arg(pdfTime / pdfTargetMs(rows), 0, 'f', 2)
               .arg(pdfCpu / pdfTargetMs(rows), 0, 'f', 2);
    out.flush();
    window.close();
    ReportObj().reset();
}
// Writes a PDF of a row whose serial number, in a column a tenth of the line wide, holds `length`
// characters with no blank; the time in ms.
double longCell(int length, const QString& folder, double* cpu, QString* writer) {
    ReportViewer report(QStringLiteral("PrjLumen.RepView"));
    report.setCol130(true);
    report.NewReport();
    report.createtable(1, 2);
    const QVariantList widths = {13, 117}, alignments = {0, 0}, none = {QString(), QString()};
    const QString heading = QStringLiteral("11"), data = QStringLiteral("0");
    report.WriteToReport(QVariantList{QStringLiteral("Serial No."), QStringLiteral("Certificate Name")}, widths,
                         alignments, none, none, heading, heading, heading, heading, true);
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i)
        text += QLatin1Char("0123456789ABCDEF"[i % 16]);
    report.WriteToReport(QVariantList{text, QStringLiteral("Asha Rao")}, widths, alignments, none, none, heading,
                         heading, data, heading, true);
    report.SetPdfOutput(folder + QStringLiteral("/long%1.pdf").arg(length));
    const double cpuBefore = cpuMs();
    QElapsedTimer timer;
    timer.start();
    report.ShowReport();
    *cpu = cpuMs() - cpuBefore;
    *writer = writerUsed(report);
    return ms(timer);
}

void longCells(const QString& folder, QTextStream& out) {
    double cpuShort = 0, cpuLong = 0;
    QString writer;
    const double shortCell = longCell(100000, folder, &cpuShort, &writer);
    const double longerCell = longCell(400000, folder, &cpuLong, &writer);
    out << QStringLiteral("PDF of one cell of 100,000 characters: %1 ms, processor %2 ms; ratio to 200 ms: %3\n")
               .arg(shortCell, 0, 'f', 1)
               .arg(cpuShort, 0, 'f', 1)
               .arg(shortCell / 200, 0, 'f', 2);
    out << QStringLiteral("PDF of one cell of 400,000 characters: %1 ms, processor %2 ms; growth for 4 times the "
                          "length: %3 (processor %4)\n")
               .arg(longerCell, 0, 'f', 1)
               .arg(cpuLong, 0, 'f', 1)
               .arg(longerCell / shortCell, 0, 'f', 2)
               .arg(cpuLong / std::max(cpuShort, 1.0), 0, 'f', 2);
    out.flush();
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> sizes;
    QString keep;
    for (int i = 1; i < argc; ++i) {
        if (QLatin1String(argv[i]) == QLatin1String("--keep") && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else
            sizes << QString::fromLocal8Bit(argv[i]).toInt();
    }
    if (sizes.isEmpty())
        sizes = {10000, 100000};
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString folder = keep.isEmpty() ? dir.path() : keep;
    QDir().mkpath(folder);
    longCells(folder, out);
    for (int rows : sizes)
        run(rows, folder, out);
    return 0;
}
