#pragma once

#include "report/ReportDocument.h"
#include "report/ReportLayout.h"

#include <memory>
#include <QObject>
#include <QPageLayout>

class QPrinter;
class QPrintPreviewDialog;

// The print preview window of one report: the toolkit's print preview, from which the user prints
// on any printer the system knows or saves a PDF. It shows the first page at once and lays out the
// rest once that page is on screen, refreshing the preview as more pages are ready. Printing from
// the window lays out and paints the whole report. The window is not modal and frees itself when
// closed.
class ReportPreview : public QObject {
    Q_OBJECT
public:
    static QPrintPreviewDialog* open(std::shared_ptr<const ReportDocument> document, const QPageLayout& page);
    ~ReportPreview() override;

    // Pages shown before the rest is laid out; the shown count then grows fourfold each refresh.
    static constexpr int kFirstPages = 1;
    // The preview records every page it shows, so a long report shows its first pages and a note
    // of how many there are; printing or saving a PDF gives them all.
    static constexpr int kMostPages = 100;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ReportPreview(std::shared_ptr<const ReportDocument> document, const QPageLayout& page, QObject* parent);
    void paint(QPrinter* printer);
    void paintPreview(QPrinter* printer);
    void paintNote(QPainter& painter, QPrinter* printer) const;
    void continueLayout();
    void scheduleLayout();

    std::shared_ptr<const ReportDocument> document_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<ReportLayout> layout_;
    QPageLayout layoutFor_;
    int resolutionFor_ = 0;
    int pagesShown_ = 0;
    bool continuing_ = false;
    bool firstPageOnScreen_ = false;
    QPrintPreviewDialog* dialog_ = nullptr;
};
