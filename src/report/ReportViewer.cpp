#include "report/ReportViewer.h"

#include "platform/ReplacingFile.h"
#include "report/PdfReport.h"
#include "report/ReportLayout.h"
#include "report/ReportPreview.h"

#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

namespace {
std::vector<int> integers(const QVariant& list) {
    std::vector<int> out;
    for (const QVariant& v : list.toList())
        out.push_back(v.toInt());
    return out;
}

QStringList texts(const QVariant& list) {
    QStringList out;
    for (const QVariant& v : list.toList())
        out << v.toString();
    return out;
}

bool allOnes(const QString& flags) {
    return !flags.isEmpty() && flags.count(QLatin1Char('1')) == flags.size();
}

// Landscape A4 with 10 mm margins.
QPageLayout defaultPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

const QString kCreator = QStringLiteral("KYTDscMgr");

// The file is written into a new file beside it and renamed into place; `why` goes on from "it".
QString cannotWrite(const QString& file, const QString& why) {
    return QStringLiteral("Cannot write %1: it %2.").arg(file, why);
}

// Writes the PDF through the toolkit's own writer: slower, for fonts the report's writer cannot
// embed.
QString writeThroughToolkit(const std::shared_ptr<const ReportDocument>& document, const QString& file) {
    kyt::ReplacingFile out(file);
    if (!out.open())
        return cannotWrite(file, out.why());
    {
        QPdfWriter writer(&out.device());
        writer.setPageLayout(defaultPageLayout());
        writer.setResolution(ReportLayout::kLayoutDpi);
        writer.setTitle(QFileInfo(file).completeBaseName());
        writer.setCreator(kCreator);
        if (!paintReport(document, writer)) {
            out.cancel();
            return QStringLiteral("Cannot write %1: the PDF could not be started.").arg(file);
        }
    }
    if (!out.commit())
        return cannotWrite(file, out.why());
    return {};
}
} // namespace

ReportViewer::ReportViewer(QString progId, QObject* parent)
    : QObject(parent), progId_(std::move(progId)), document_(std::make_shared<ReportDocument>()) {}

ReportViewer::~ReportViewer() = default;

ReportDocument& ReportViewer::editable() {
    // A preview still showing the last report keeps that one; new rows go into a copy.
    if (document_.use_count() > 1)
        document_ = std::make_shared<ReportDocument>(*document_);
    return *document_;
}

void ReportViewer::setCol130(bool on) {
    col130_ = on;
    editable().condensedLine = on ? 130 : 136;
}

void ReportViewer::NewReport() {
    lastError_ = notShown();
    document_ = std::make_shared<ReportDocument>();
    document_->condensedLine = col130_ ? 130 : 136;
}

void ReportViewer::PrintText(const QVariant& text) {
    editable().printText(text.toString());
}

void ReportViewer::createtable(const QVariant&, const QVariant& columns) {
    editable().beginTable(columns.toInt());
}

void ReportViewer::WriteToReport(const QVariant& cells, const QVariant& widths, const QVariant& alignments,
                                 const QVariant&, const QVariant&, const QVariant&, const QVariant&,
                                 const QVariant& flagsC, const QVariant&, const QVariant&) {
    // A row whose third flags are all "1" is a heading row: the table repeats it on every page.
    editable().writeRow(texts(cells), integers(widths), integers(alignments), allOnes(flagsC.toString()));
}

void ReportViewer::SetPdfOutput(const QVariant& file) {
    pdfFile_ = file.toString();
}

QString ReportViewer::writePdf(const std::shared_ptr<const ReportDocument>& document, const QString& file) {
    {
        kyt::ReplacingFile out(file);
        if (!out.open())
            return cannotWrite(file, out.why());
        const PdfOutcome outcome =
            writeReportPdf(document, defaultPageLayout(), QFileInfo(file).completeBaseName(), kCreator, out.device());
        if (outcome != PdfOutcome::Unsupported) {
            if (!out.commit())
                return cannotWrite(file, out.why());
            return {};
        }
        out.cancel();
    }
    return writeThroughToolkit(document, file);
}

void ReportViewer::ShowReport() {
    lastError_.clear();
    const std::shared_ptr<const ReportDocument> document = document_;
    if (!pdfFile_.isEmpty()) {
        lastError_ = writePdf(document, pdfFile_);
        return;
    }
    if (winMode_) {
        ReportPreview::open(document, defaultPageLayout());
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(defaultPageLayout());
    if (!paintReport(document, printer))
        lastError_ = QStringLiteral("The printer could not be started.");
}
