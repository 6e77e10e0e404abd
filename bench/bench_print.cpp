// Times printing the register:
//   (a) "&Proceed" clicked until the first page of the print preview has been painted, against a
//       reload of the same list in the same run (the ratio is the figure to watch);
//   (b) "&Proceed" writing the whole report to a PDF file.
// Usage: bench_print [ROWS...]   (default 10000 100000). Run under Xvfb or offscreen.

#include "BenchData.h"
#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "report/ReportViewer.h"

#include <QApplication>
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

void run(int rows, const QString& folder, QTextStream& out) {
    QString error;
    auto db = kyt::Db::open(kyt::DbAddress::sqliteFile(folder + QStringLiteral("/bench%1.db").arg(rows)), &error);
    if (!db) {
        out << error << '\n';
        return;
    }
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
    timer.restart();
    window.cmdproceed->click();
    const double pdfTime = ms(timer);
    report->SetPdfOutput(QString());

    out << "rows: " << rows << '\n';
    out << QStringLiteral("list reload: %1 ms\n").arg(reload, 0, 'f', 1);
    out << QStringLiteral("proceed until the first preview page is painted: %1 ms%2\n")
               .arg(firstPage, 0, 'f', 1)
               .arg(pages ? QString() : QStringLiteral(" (no preview window found)"));
    out << QStringLiteral("  of which the click itself (rows written, window opened): %1 ms\n").arg(clicked, 0, 'f', 1);
    out << QStringLiteral("ratio: %1\n").arg(firstPage / reload, 0, 'f', 2);
    out << QStringLiteral("preview complete, %1 pages shown: %2 ms\n").arg(shown).arg(rest, 0, 'f', 1);
    out << QStringLiteral("proceed writing the PDF: %1 ms (%2 KB)%3\n")
               .arg(pdfTime, 0, 'f', 1)
               .arg(QFileInfo(pdf).size() / 1024)
               .arg(report->LastError().toString().isEmpty() ? QString()
                                                             : QStringLiteral(" ") + report->LastError().toString());
    out.flush();
    window.close();
    ReportObj().reset();
}
} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {10000, 100000};
    QTextStream out(stdout);
    QTemporaryDir dir;
    for (int rows : sizes)
        run(rows, dir.path(), out);
    return 0;
}
