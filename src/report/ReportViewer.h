#pragma once

#include "report/ReportDocument.h"

#include <memory>
#include <QObject>
#include <QPageLayout>
#include <QVariant>

// The report object the register prints through. Each report identifier makes one; the identifier
// it was made for is kept, as hosts distinguish their viewers by it. Rows arrive one call at a
// time; "ShowReport" opens the print preview (window mode), prints on the default printer, or
// writes the PDF file named by SetPdfOutput.
class ReportViewer : public QObject {
    Q_OBJECT
    // The condensed line holds 130 characters (else 136, condensed pica on an 8-inch line).
    Q_PROPERTY(bool SetCol130 READ col130 WRITE setCol130)
    Q_PROPERTY(bool WinModeReport READ winMode WRITE setWinMode)
public:
    explicit ReportViewer(QString progId, QObject* parent = nullptr);
    ~ReportViewer() override;

    Q_INVOKABLE QVariant ProgId() const { return progId_; }
    Q_INVOKABLE void NewReport();
    Q_INVOKABLE void PrintText(const QVariant& text);
    Q_INVOKABLE void createtable(const QVariant& kind, const QVariant& columns);
    Q_INVOKABLE void WriteToReport(const QVariant& cells, const QVariant& widths, const QVariant& alignments,
                                   const QVariant& texts1, const QVariant& texts2, const QVariant& flagsA,
                                   const QVariant& flagsB, const QVariant& flagsC, const QVariant& flagsD,
                                   const QVariant& lastFlag);
    Q_INVOKABLE void ShowReport();
    // The next ShowReport writes this PDF file instead (an empty name ends that).
    Q_INVOKABLE void SetPdfOutput(const QVariant& file);
    // Empty when the report begun last was shown (or written) by ShowReport, else why not.
    Q_INVOKABLE QVariant LastError() const { return lastError_; }
    // Empty, or a note on how the last PDF was written: by the slower general writer, and why.
    Q_INVOKABLE QVariant LastNote() const { return lastNote_; }

    bool col130() const { return col130_; }
    void setCol130(bool on);
    bool winMode() const { return winMode_; }
    void setWinMode(bool on) { winMode_ = on; }

    // Writes a document to a PDF file, landscape A4, whole or not at all. Empty on success. The
    // report's own writer writes it, unless a font cannot be embedded that way or the environment
    // variable KYT_PDF_WRITER is "toolkit": the general writer then does, and `note` says so.
    static QString writePdf(const std::shared_ptr<const ReportDocument>& document, const QString& file,
                            QString* note = nullptr);
    // The same for pages firstPage..lastPage (from 1; lastPage 0: to the end) of another set-up.
    static QString writePdf(const std::shared_ptr<const ReportDocument>& document, const QString& file,
                            const QPageLayout& page, int firstPage, int lastPage, QString* note);

private:
    ReportDocument& editable();

    QString progId_;
    bool col130_ = false;
    bool winMode_ = false;
    QString pdfFile_;
    QString lastError_ = notShown();
    QString lastNote_;
    static QString notShown() { return QStringLiteral("The report has not been shown."); }
    // Shared with any preview still open, which keeps the report it shows.
    std::shared_ptr<ReportDocument> document_;
};
