#include "report/ReportPreview.h"

#include "report/ReportViewer.h"

#include <QEvent>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QTimer>

namespace {
// Time given to laying out further pages between window events.
constexpr int kLayoutSliceMs = 40;
// When the window is never painted (hidden at once), the layout goes on after this.
constexpr int kUnseenMs = 500;

// The preview paints into recorded pages; printing and PDF files have an engine of their own.
bool previewing(QPrinter* printer) {
    QPaintEngine* engine = printer->paintEngine();
    return engine && engine->type() == QPaintEngine::Picture;
}
} // namespace

ReportPreview::ReportPreview(std::shared_ptr<const ReportDocument> document, const QPageLayout& page, QObject* parent)
    : QObject(parent), document_(std::move(document)), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    printer_->setPageLayout(page);
}

ReportPreview::~ReportPreview() = default;

QPrintPreviewDialog* ReportPreview::open(std::shared_ptr<const ReportDocument> document, const QPageLayout& page) {
    auto* holder = new QObject;
    auto* preview = new ReportPreview(std::move(document), page, holder);
    auto* dialog = new QPrintPreviewDialog(preview->printer_.get());
    preview->dialog_ = dialog;
    // The printer must outlive the dialog: the holder goes when the dialog is gone.
    QObject::connect(dialog, &QObject::destroyed, holder, [holder] { holder->deleteLater(); });
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Print Preview"));
    QObject::connect(dialog, &QPrintPreviewDialog::paintRequested, preview, &ReportPreview::paint);
    if (auto* view = dialog->findChild<QGraphicsView*>())
        view->viewport()->installEventFilter(preview);
    QTimer::singleShot(kUnseenMs, preview, [preview] {
        preview->firstPageOnScreen_ = true;
        preview->scheduleLayout();
    });
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        dialog->resize(available.width() * 4 / 5, available.height() * 9 / 10);
    }
    dialog->show();
    return dialog;
}

bool ReportPreview::eventFilter(QObject*, QEvent* event) {
    // The rest is laid out after the first page has been painted, so that nothing delays it.
    if (event->type() == QEvent::Paint && !firstPageOnScreen_) {
        firstPageOnScreen_ = true;
        scheduleLayout();
    }
    return false;
}

void ReportPreview::paint(QPrinter* printer) {
    // A PDF chosen in the print dialog is written as `report --pdf` writes one, so that its text
    // is copied and searched as stored.
    if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty()) {
        const QString error = ReportViewer::writePdf(document_, printer->outputFileName(), printer->pageLayout(),
                                                     printer->fromPage(), printer->toPage(), nullptr);
        if (!error.isEmpty())
            qWarning("%s", qPrintable(error));
        return;
    }
    if (!previewing(printer)) {
        paintReport(document_, *printer, printer->fromPage(), printer->toPage());
        return;
    }
    paintPreview(printer);
}

void ReportPreview::paintPreview(QPrinter* printer) {
    // A changed page set-up in the window (orientation, size) starts the layout afresh.
    if (!layout_ || printer->pageLayout() != layoutFor_ || printer->resolution() != resolutionFor_) {
        layout_ = std::make_unique<ReportLayout>(document_, printer);
        layoutFor_ = printer->pageLayout();
        resolutionFor_ = printer->resolution();
        pagesShown_ = kFirstPages;
    }
    const int pages = std::min(layout_->layOutPages(pagesShown_), pagesShown_);
    QPainter painter;
    if (!painter.begin(printer))
        return;
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            printer->newPage();
        layout_->paintPage(painter, page);
    }
    if (layout_->complete() && layout_->knownPages() > pages) {
        printer->newPage();
        paintNote(painter, printer);
    }
    painter.end();
    scheduleLayout();
}

void ReportPreview::paintNote(QPainter& painter, QPrinter* printer) const {
    QFont font;
    font.setPointSizeF(14);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, printer->width(), printer->height()), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("The preview shows the first %1 of the report's %2 pages.\n"
                                    "Printing the report, or saving it as a PDF, gives all %2 pages.")
                         .arg(pagesShown_)
                         .arg(layout_->knownPages()));
}

void ReportPreview::scheduleLayout() {
    if (!layout_ || layout_->complete() || continuing_ || !firstPageOnScreen_)
        return;
    continuing_ = true;
    QTimer::singleShot(0, this, &ReportPreview::continueLayout);
}

void ReportPreview::continueLayout() {
    continuing_ = false;
    if (!layout_)
        return;
    const bool done = layout_->layOutFor(kLayoutSliceMs);
    const int next = std::min(pagesShown_ * 4, kMostPages);
    if (done || (pagesShown_ < kMostPages && layout_->knownPages() >= next)) {
        pagesShown_ = done ? std::min(layout_->knownPages(), kMostPages) : next;
        if (auto* widget = dialog_->findChild<QPrintPreviewWidget*>())
            widget->updatePreview();
        return; // the refresh schedules the next slice
    }
    scheduleLayout();
}
