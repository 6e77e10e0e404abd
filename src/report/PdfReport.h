#pragma once

#include "report/ReportDocument.h"

#include <memory>
#include <QString>

class QIODevice;
class QPageLayout;

enum class PdfOutcome {
    Written,
    Failed,      // the device would not take the file
    Unsupported, // a text's font cannot be written this way; nothing useful was written
};

// Writes a report as a PDF of pages of the given set-up, as the printer would print them: pages
// firstPage..lastPage (from 1; lastPage 0: to the end).
PdfOutcome writeReportPdf(const std::shared_ptr<const ReportDocument>& document, const QPageLayout& page,
                          const QString& title, const QString& creator, QIODevice& device, int firstPage = 1,
                          int lastPage = 0);
