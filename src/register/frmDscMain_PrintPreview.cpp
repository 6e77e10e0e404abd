// The print preview frame of the register window: which list columns are printed, the saved
// choice "DSCPrCols", and the run that writes the list as a table into the report object.

#include "component/ClsMain.h"
#include "component/Module1.h"
#include "platform/ObjectRegistry.h"
#include "platform/ShownText.h"
#include "register/frmDscMain.h"

namespace {
const QString kSection = QStringLiteral("Settings");
const QString kChoiceKey = QStringLiteral("DSCPrCols");
const QString kSelectColumn = QStringLiteral("Select atleast one column.");
constexpr int kLineCharacters = 130;
constexpr short kTitleWidth = 78;
constexpr int kDivisionByZero = 11;
const QChar kEsc(27);

// Report alignment of a list alignment: 1 centred, 2 right, 0 left or general.
int reportAlignment(const QVariant& alignment) {
    const int flags = alignment.toInt();
    if (flags & Qt::AlignHCenter)
        return 1;
    if (flags & Qt::AlignRight)
        return 2;
    return 0;
}
} // namespace

void frmDscMain::connectPreviewControls() {
    connect(cmdpreview, &QPushButton::clicked, this, &frmDscMain::cmdpreview_Click);
    connect(cmdsaveprev, &QPushButton::clicked, this, &frmDscMain::cmdsaveprev_Click);
    connect(cmdproceed, &QPushButton::clicked, this, &frmDscMain::cmdproceed_Click);
    connect(vsP, &PrintColumnGrid::beforeEdit, this, &frmDscMain::vsP_BeforeEdit);
    connect(vsP, &PrintColumnGrid::afterEdit, this, &frmDscMain::vsP_AfterEdit);
}

void frmDscMain::cmdpreview_Click() {
    const QString saved = ClsObj->GetSettingINI(kSection, kChoiceKey, QString());
    vsP->setRows(1);
    vsP->setHeadingChecked(true);
    // Row r stands for list column r - 1; the hidden key column's row is hidden and never ticked.
    vsP->setRows(vs->Cols() + 1);
    for (int c = 0; c < vs->Cols(); ++c) {
        const bool hidden = vs->isColumnHidden(c);
        vsP->setRowHidden(c + 1, hidden);
        vsP->setTextMatrix(c + 1, PrintColumnModel::kHeadingColumn, vs->TextMatrix(0, c));
        vsP->setTextMatrix(c + 1, PrintColumnModel::kPrintColumn, hidden ? QStringLiteral("0") : QStringLiteral("-1"));
    }
    if (!saved.isEmpty()) {
        const QString choice = QLatin1Char(',') + saved + QLatin1Char(',');
        for (int r = 1; r < vsP->Rows(); ++r)
            if (!vsP->RowHidden(r) && !choice.contains(QStringLiteral(",%1,").arg(r)))
                vsP->setTextMatrix(r, PrintColumnModel::kPrintColumn, QStringLiteral("0"));
    }
    vsP->autoFitColumns();
    fammain->setVisible(false);
    famprev->setVisible(true);
    cmdproceed->setFocus();
}

void frmDscMain::vsP_BeforeEdit(int, int Col, bool& Cancel) {
    if (Col != PrintColumnModel::kPrintColumn)
        Cancel = true;
}

void frmDscMain::vsP_AfterEdit(int Row, int Col) {
    if (Row != 0 || Col != PrintColumnModel::kPrintColumn)
        return;
    const QString tick = vsP->HeadingChecked() ? QStringLiteral("-1") : QStringLiteral("0");
    for (int r = 1; r < vsP->Rows(); ++r)
        vsP->setTextMatrix(r, PrintColumnModel::kPrintColumn, tick);
}

void frmDscMain::cmdsaveprev_Click() {
    QStringList rows;
    for (int r = 1; r < vsP->Rows(); ++r)
        if (PrintColumnModel::ticked(vsP->TextMatrix(r, PrintColumnModel::kPrintColumn)))
            rows << QString::number(r);
    if (!rows.isEmpty()) {
        ClsObj->SaveSettingINI(kSection, kChoiceKey, rows.join(QLatin1Char(',')));
        return;
    }
    kyt::ErrorTrap::silent()([&] { ClsObj->services().dialogs->information(this, kSelectColumn); });
    vsP->setFocus();
}

void frmDscMain::cmdproceed_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDPREVIEW_CLICK"));
    trap([&] { kyt::setPropertyByName(ReportObj().get(), "SetCol130", true); });
    trap([&] { kyt::setPropertyByName(ReportObj().get(), "WinModeReport", true); });
    trap([&] { kyt::callByName(ReportObj().get(), "NewReport"); });

    // The ticked rows stand for list columns r - 1; W is the sum of their list widths.
    QList<int> columns;
    double totalWidth = 0;
    for (int r = 1; r < vsP->Rows(); ++r)
        if (PrintColumnModel::ticked(vsP->TextMatrix(r, PrintColumnModel::kPrintColumn))) {
            columns << r - 1;
            totalWidth += vs->printWidth(r - 1);
        }
    const int n = int(columns.size());
    if (n == 0) {
        trap([&] { ClsObj->services().dialogs->information(this, kSelectColumn); });
        vsP->setFocus();
        return;
    }

    QVariantList cells(n);
    QVariantList widths(n, QVariant::fromValue<short>(0));
    QVariantList alignments(n, QVariant::fromValue<int>(0));
    QStringList texts1(n), texts2(n);
    bool lastFlag = false;
    QString allOnes(n, QLatin1Char('1'));
    QString lastOne = QString(n - 1, QLatin1Char('0')) + QLatin1Char('1');
    QString zeros[4] = {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")};

    // Title row: the list's heading in bold.
    cells[0] = QString(kEsc + QLatin1Char('E') + lblhead->text() + kEsc + QLatin1Char('F'));
    widths[0] = QVariant::fromValue<short>(kTitleWidth);
    alignments[0] = 1;
    trap([&] {
        WriteTableRow(cells, widths, alignments, texts1, texts2, lastFlag, zeros[0], zeros[1], zeros[2], zeros[3]);
    });
    // Condensed print, so that the 130-character line fits the page.
    trap([&] {
        const QChar codes[] = {kEsc, QChar(15), kEsc, QLatin1Char('P'), QLatin1Char(';')};
        kyt::callByName(ReportObj().get(), "PrintText", {QString(codes, 5)});
    });
    trap([&] { kyt::callByName(ReportObj().get(), "createtable", {1, n}); });

    // Heading row.
    CertListModel* list = vs->listModel();
    for (int k = 0; k < n; ++k) {
        const int c = columns[k];
        trap([&] {
            if (totalWidth == 0)
                kyt::raise(kDivisionByZero, QStringLiteral("Division by zero"), QStringLiteral("frmDscMain"));
            widths[k] =
                QVariant::fromValue<short>(short(RoundHalfEven(vs->printWidth(c) / totalWidth * kLineCharacters)));
        });
        alignments[k] = reportAlignment(list->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole));
        cells[k] = vsP->TextMatrix(c + 1, PrintColumnModel::kHeadingColumn);
    }
    lastFlag = true;
    QString headingFlags = allOnes;
    trap([&] {
        WriteTableRow(cells, widths, alignments, texts1, texts2, lastFlag, allOnes, lastOne, headingFlags, allOnes);
    });

    // One row per list row, the texts as the list shows them. The first row's cell alignments
    // serve every row. Each row has its own trap: a row the report object refuses is logged and the
    // rows after it still go out, so one bad row does not cut the printout short.
    QString dataFlags = QStringLiteral("0");
    for (int i = 1; i < vs->Rows(); ++i) {
        for (int k = 0; k < n; ++k) {
            const int c = columns[k];
            cells[k] = shown::visibleControls(vs->TextMatrix(i, c));
            if (i == 1)
                alignments[k] = reportAlignment(list->data(list->index(0, c), Qt::TextAlignmentRole));
        }
        trap([&] {
            WriteTableRow(cells, widths, alignments, texts1, texts2, lastFlag, allOnes, lastOne, dataFlags, allOnes);
        });
    }
    trap([&] { kyt::callByName(ReportObj().get(), "ShowReport"); });
}
