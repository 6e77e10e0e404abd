#include "report/PdfReport.h"

#include "report/PdfCanvas.h"
#include "report/PdfFile.h"
#include "report/PdfFonts.h"
#include "report/ReportLayout.h"

#include <algorithm>
#include <cmath>
#include <QDateTime>
#include <QImage>
#include <QPageLayout>

PdfOutcome writeReportPdf(const std::shared_ptr<const ReportDocument>& document, const QPageLayout& page,
                          const QString& title, const QString& creator, QIODevice& device, int firstPage,
                          int lastPage) {
    constexpr int dpi = ReportLayout::kLayoutDpi;
    ReportLayout layout(document, page);
    layout.layOutAll();
    PdfFile file(device);
    const int catalog = file.reserve(), pages = file.reserve(), resources = file.reserve(), state = file.reserve(),
              info = file.reserve();
    PdfFonts fonts(file, page);
    if (!fonts.ok())
        return PdfOutcome::Unsupported;
    QImage measuring(1, 1, QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    measuring.setDotsPerMeterX(dotsPerMeter);
    measuring.setDotsPerMeterY(dotsPerMeter);
    PdfCanvas canvas(fonts, &measuring, dpi, ReportLayout::gridWidth());

    const QRect full = page.fullRectPoints();
    const QByteArray pageEntries = "/Parent " + QByteArray::number(pages) + " 0 R/Resources " +
                                   QByteArray::number(resources) + " 0 R/MediaBox[0 0 " +
                                   QByteArray::number(full.width()) + ' ' + QByteArray::number(full.height()) + "]";
    QByteArray kids;
    const int first = std::max(firstPage, 1) - 1;
    const int last = lastPage > 0 ? std::min(lastPage, layout.knownPages()) : layout.knownPages();
    for (int p = first; p < last; ++p) {
        canvas.beginPage();
        layout.paintPage(canvas, p);
        if (!canvas.ok())
            return PdfOutcome::Unsupported;
        const int content = file.reserve();
        file.writeStream(content, {}, canvas.content());
        const int pageObject = file.reserve();
        file.write(pageObject, "<</Type/Page" + pageEntries + "/Contents " + QByteArray::number(content) + " 0 R>>");
        kids += QByteArray::number(pageObject) + " 0 R ";
        if (file.failed())
            return PdfOutcome::Failed;
    }
    if (!fonts.finish())
        return PdfOutcome::Unsupported;

    QByteArray fontEntries;
    for (int r = 0; r < fonts.resourceCount(); ++r)
        fontEntries += "/F" + QByteArray::number(r) + ' ' + QByteArray::number(fonts.resource(r).object) + " 0 R";
    file.write(resources, "<</ColorSpace<</CSp/DeviceRGB>>/ExtGState<</GSa " + QByteArray::number(state) +
                              " 0 R>>/Font<<" + fontEntries + ">>>>");
    // Stroke adjustment as the toolkit's pages have it: thin grid lines keep an even width.
    file.write(state, "<</Type/ExtGState/SA true/SM 0.02/ca 1.0/CA 1.0/AIS false/SMask/None>>");
    file.write(pages, "<</Type/Pages/Kids[" + kids + "]/Count " + QByteArray::number(std::max(last - first, 0)) + ">>");
    file.write(catalog, "<</Type/Catalog/Pages " + QByteArray::number(pages) + " 0 R>>");
    file.write(info, "<</Title " + pdfTextString(title) + "/Creator " + pdfTextString(creator) + "/CreationDate (D:" +
                         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmss")).toLatin1() +
                         "Z)>>");
    return file.finish(catalog, info) ? PdfOutcome::Written : PdfOutcome::Failed;
}
