// The entry form's token line: where the shown record's signing token is and since when, with
// "Hand Over...", "Receive..." and "Print Receipt..." for its movements.
#include "component/ClsMain.h"
#include "component/Module1.h"
#include "custody/CustodyReceipt.h"
#include "custody/TokenCustody.h"
#include "platform/Clock.h"
#include "platform/Db.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/ShownText.h"
#include "register/CustodyDialogs.h"
#include "register/frmDscMain.h"
#include "reminders/ReminderSettings.h"
#include "store/RecordLayout.h"

#include <algorithm>
#include <QHBoxLayout>
#include <QStyle>

namespace {
QString tokenText(const std::optional<custody::Movement>& last, const QString& holder) {
    if (!last)
        return QStringLiteral("Token: %1").arg(custody::kNotRecorded);
    const QString with = shown::visibleControls(custody::describe(last->to, holder));
    return last->to.isOffice() ? QStringLiteral("Token: in the %1 since %2").arg(with, last->movedAt)
                               : QStringLiteral("Token: with %1 since %2").arg(with, last->movedAt);
}
} // namespace

QLayout* frmDscMain::buildTokenLine() {
    lbltoken = new QLabel(QStringLiteral("Token: %1").arg(custody::kNotRecorded), this);
    lbltoken->setObjectName(QStringLiteral("lbltoken"));
    lbltoken->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdhandover = kyt::makeButton(QStringLiteral("Hand Over\u2026"), QStringLiteral("cmdhandover"), this);
    cmdreceive = kyt::makeButton(QStringLiteral("Receive\u2026"), QStringLiteral("cmdreceive"), this);
    cmdreceipt = kyt::makeButton(QStringLiteral("Print Receipt\u2026"), QStringLiteral("cmdreceipt"), this);
    connect(cmdhandover, &QPushButton::clicked, this, &frmDscMain::cmdhandover_Click);
    connect(cmdreceive, &QPushButton::clicked, this, &frmDscMain::cmdreceive_Click);
    connect(cmdreceipt, &QPushButton::clicked, this, &frmDscMain::cmdreceipt_Click);
    connect(chktokenwith, &QCheckBox::clicked, this, &frmDscMain::chktokenwith_Click);
    auto* line = new QHBoxLayout;
    line->addStretch(1);
    line->addWidget(lbltoken, 10);
    for (QPushButton* b : {cmdhandover, cmdreceive, cmdreceipt})
        line->addWidget(b);
    line->addStretch(1);
    return line;
}

// A movement is a write of its own, made from the list: in entry mode the record being typed is not
// yet what the register holds.
void frmDscMain::enableTokenLine(bool listMode) {
    const bool row = vs->Row() >= 1;
    cmdhandover->setEnabled(listMode && row);
    cmdreceive->setEnabled(listMode && row);
    cmdreceipt->setEnabled(listMode && row && !Tag(cmdreceipt).isEmpty());
}

void frmDscMain::showTokenLine(int row) {
    if (!lbltoken)
        return;
    std::optional<custody::Movement> last;
    if (row >= 1 && ClsObj && ClsObj->Db) {
        kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("SHOWTOKENLINE"));
        const int n = vs->TextMatrix(row, RecordLayout::kRecordNumberColumn).toInt();
        trap([&] {
            if (custody::tableExists(*ClsObj->Db))
                last = custody::lastMovement(*ClsObj->Db, n);
        });
    }
    lbltoken->setText(
        tokenText(last, row >= 1 ? vs->TextMatrix(row, RecordLayout::columnOf(RecordLayout::Nm)) : QString()));
    // The receipt is of the last movement: there is none before the first.
    setTag(cmdreceipt, last ? QString::number(last->id) : QString());
    enableTokenLine(vs->isEnabled());
}

void frmDscMain::moveToken(custody::Request::Kind kind) {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"),
                        kind == custody::Request::Kind::HandOver ? QStringLiteral("CMDHANDOVER_CLICK")
                                                                 : QStringLiteral("CMDRECEIVE_CLICK"));
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    const int row = vs->Row();
    if (!vs->isEnabled() || row < 1) {
        trap([&] { dialogs.information(this, QStringLiteral("Select a DSC.")); });
        return;
    }
    const int n = vs->TextMatrix(row, RecordLayout::kRecordNumberColumn).toInt();
    const QString holder = vs->TextMatrix(row, RecordLayout::columnOf(RecordLayout::Nm));
    std::optional<custody::Movement> last;
    trap([&] {
        if (custody::tableExists(*ClsObj->Db))
            last = custody::lastMovement(*ClsObj->Db, n);
    });
    const QString outWith = last && !last->to.isOffice() ? last->to.name : QString();
    auto* dialog = new TokenMoveDialog(
        kind, holder, outWith, ClsObj->services().clock->now(),
        [this, n](const custody::Request& typed) {
            kyt::ErrorTrap step(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("MOVETOKEN"));
            custody::Request request = typed;
            request.srNo = n;
            custody::Outcome outcome;
            step.clearLastError();
            QString refusal;
            if (!step([&] { outcome = custody::record(*ClsObj->Db, request); }))
                refusal =
                    QStringLiteral("The movement was not recorded: %1.").arg(kyt::Db::whyNotWritten(step.lastError()));
            else if (!outcome.written)
                refusal = outcome.refusal;
            if (!refusal.isEmpty())
                step([&] { ClsObj->services().dialogs->information(findChild<TokenMoveDialog*>(), refusal); });
            return refusal;
        },
        this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &TokenMoveDialog::recorded, this, [this, n] { tokenMoved(n); });
    dialog->open();
}

void frmDscMain::cmdhandover_Click() {
    moveToken(custody::Request::Kind::HandOver);
}

void frmDscMain::cmdreceive_Click() {
    moveToken(custody::Request::Kind::Receive);
}

// The list shows where each token is only when a movement changed it: a reload in a large register
// is not free.
void frmDscMain::tokenMoved(int n) {
    if (chktokenwith->isChecked() && vs->listModel()->viewColumnCount() > 0)
        ReloadAndSelect(n);
    else
        showTokenLine(vs->Row());
}

std::optional<custody::TokenWithColumn> frmDscMain::startTokenWithColumn() {
    if (!chktokenwith || !chktokenwith->isChecked())
        return std::nullopt;
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("LOADGRID"));
    std::optional<custody::TokenWithColumn> column;
    if (!trap([&] {
            // A save or another filter moves no token: the texts read last are still right, and a
            // movement since needs only itself read.
            if (tokenWithRead_)
                tokenWithRead_->refresh(*ClsObj->Db);
            else
                tokenWithRead_.emplace(*ClsObj->Db);
            column = tokenWithRead_->again();
        }))
        return std::nullopt;
    vs->listModel()->setViewColumns({custody::kTokenWithHeading}, {false});
    return column;
}

void frmDscMain::placeTokenWithColumn(const custody::TokenWithColumn& column) {
    vs->placeViewColumns();
    // Wide enough for the longest name listed, within reason; longer ones are shortened in the middle.
    const int padding = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 12;
    const int text = vs->fontMetrics().horizontalAdvance(shown::visibleControls(column.widest())) + padding;
    const int tokenColumn = CertListModel::kColumns;
    vs->setColumnWidth(tokenColumn, std::clamp(text, vs->columnWidth(tokenColumn), 320));
}

void frmDscMain::chktokenwith_Click() {
    if (!vs->isEnabled())
        return;
    const int n = vs->Row() >= 1 ? vs->TextMatrix(vs->Row(), RecordLayout::kRecordNumberColumn).toInt() : 0;
    ReloadAndSelect(n);
}

// The receipt of the shown token's last movement, as a PDF file the user names, opened once written.
void frmDscMain::cmdreceipt_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDRECEIPT_CLICK"));
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    auto tell = [&](const QString& text) { trap([&] { dialogs.information(this, text); }); };
    const int row = vs->Row();
    if (!vs->isEnabled() || row < 1) {
        tell(QStringLiteral("Select a DSC."));
        return;
    }
    const int n = vs->TextMatrix(row, RecordLayout::kRecordNumberColumn).toInt();
    std::optional<custody::Receipt> receipt;
    trap.clearLastError();
    const bool read = trap([&] {
        if (custody::tableExists(*ClsObj->Db))
            receipt = custody::lastReceipt(
                *ClsObj->Db, n, ReminderSettings::load(ClsObj->DocPath + QStringLiteral("/Confg.ini")).practice);
    });
    if (!read) {
        tell(QStringLiteral("The receipt cannot be made: %1.").arg(trap.lastError().description.simplified()));
        return;
    }
    if (!receipt) {
        tell(QStringLiteral("No movement of this token is recorded yet."));
        return;
    }
    const QString suggested = ClsObj->DocPath + QStringLiteral("/Receipt-%1-%2.pdf")
                                                    .arg(n)
                                                    .arg(QDateTime::fromString(receipt->movement.movedAt,
                                                                               QStringLiteral("dd/MM/yyyy HH:mm:ss"))
                                                             .toString(QStringLiteral("yyyyMMdd-HHmmss")));
    std::optional<QString> file;
    trap([&] {
        file = dialogs.saveFile(this, QStringLiteral("Save the receipt"), QStringLiteral("PDF File|*.pdf"), suggested);
    });
    if (!file || file->isEmpty())
        return;
    QString error = QStringLiteral("the report component is not available");
    trap([&] { error = custody::writeReceipt(ReportObj().get(), *receipt, *file); });
    if (!error.isEmpty()) {
        tell(QStringLiteral("The receipt was not written: %1").arg(error));
        return;
    }
    bool opened = false;
    trap([&] { opened = ClsObj->services().desktop->openDocument(*file); });
    if (!opened)
        tell(QStringLiteral("The receipt is saved in %1.").arg(*file));
}
