#include "register/HistoryDialogs.h"

#include "component/ClsMain.h"
#include "platform/Db.h"
#include "platform/Dialogs.h"
#include "platform/ErrorTrap.h"
#include "platform/WindowKit.h"
#include "store/DeletedRecords.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString valueOf(const RecordHistory::Entry& e, RecordLayout::Field field) {
    const auto& values = e.before ? e.before : e.after;
    return values ? (*values)[size_t(RecordLayout::valueIndex(field))] : QString();
}
} // namespace

HistoryDialog::HistoryDialog(const QList<RecordHistory::Entry>& entries, const QString& title, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(title);
    lsthistory = new QTreeWidget(this);
    lsthistory->setObjectName(QStringLiteral("lsthistory"));
    lsthistory->setHeaderLabels(
        {QStringLiteral("When"), QStringLiteral("Change"), QStringLiteral("Desk"), QStringLiteral("User")});
    for (const RecordHistory::Entry& e : entries) {
        auto* item = new QTreeWidgetItem(lsthistory, {e.at, RecordHistory::changeName(e.change), e.host, e.login});
        for (const RecordHistory::FieldChange& c : RecordHistory::changes(e))
            new QTreeWidgetItem(item, {c.field, c.before + QStringLiteral(" \u2192 ") + c.after});
        item->setExpanded(true);
    }
    if (entries.isEmpty())
        new QTreeWidgetItem(lsthistory, {QStringLiteral("No changes are recorded for this certificate.")});
    lsthistory->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    cmdclose = kyt::makeButton(QStringLiteral("&Close"), QStringLiteral("cmdclose"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdclose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lsthistory);
    layout->addLayout(buttons);
    resize(760, 460);
    connect(cmdclose, &QPushButton::clicked, this, &QDialog::accept);
}

RecentlyDeletedDialog::RecentlyDeletedDialog(std::shared_ptr<ClsMain> cls, QWidget* parent)
    : QDialog(parent), cls_(std::move(cls)) {
    setObjectName(QStringLiteral("frmRecentlyDeleted"));
    setWindowTitle(QStringLiteral("Recently Deleted"));
    lstdeleted = new QTreeWidget(this);
    lstdeleted->setObjectName(QStringLiteral("lstdeleted"));
    lstdeleted->setRootIsDecorated(false);
    lstdeleted->setHeaderLabels({QStringLiteral("Sr. No."), QStringLiteral("Certificate Name"),
                                 QStringLiteral("Serial No."), QStringLiteral("Valid To"), QStringLiteral("Deleted"),
                                 QStringLiteral("Desk"), QStringLiteral("User")});
    lstdeleted->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    cmdrestore = kyt::makeButton(QStringLiteral("Restore"), QStringLiteral("cmdrestore"), this);
    cmdclose = kyt::makeButton(QStringLiteral("&Close"), QStringLiteral("cmdclose"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdrestore);
    buttons->addWidget(cmdclose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstdeleted);
    layout->addLayout(buttons);
    resize(820, 460);
    connect(cmdrestore, &QPushButton::clicked, this, &RecentlyDeletedDialog::restoreChosen);
    connect(cmdclose, &QPushButton::clicked, this, &QDialog::accept);
    fill();
}

void RecentlyDeletedDialog::fill() {
    kyt::ErrorTrap trap(cls_.get(), QStringLiteral("frmRecentlyDeleted"), QStringLiteral("FILL"));
    lstdeleted->clear();
    deleted_.clear();
    trap([&] {
        RecordHistory::ensureTable(*cls_->Db);
        deleted_ = RecordHistory::deletedRecords(*cls_->Db);
    });
    for (const RecordHistory::Entry& e : deleted_)
        new QTreeWidgetItem(lstdeleted,
                            {QString::number(e.srNo), valueOf(e, RecordLayout::Nm), valueOf(e, RecordLayout::SerialNo),
                             valueOf(e, RecordLayout::DtTo), e.at, e.host, e.login});
    if (!deleted_.isEmpty())
        lstdeleted->setCurrentItem(lstdeleted->topLevelItem(0));
    cmdrestore->setEnabled(!deleted_.isEmpty());
}

void RecentlyDeletedDialog::restoreChosen() {
    kyt::ErrorTrap trap(cls_.get(), QStringLiteral("frmRecentlyDeleted"), QStringLiteral("CMDRESTORE_CLICK"));
    kyt::Dialogs& dialogs = *cls_->services().dialogs;
    const int row = lstdeleted->indexOfTopLevelItem(lstdeleted->currentItem());
    if (row < 0 || row >= deleted_.size()) {
        trap([&] { dialogs.information(this, QStringLiteral("Select a deleted DSC.")); });
        return;
    }
    const RecordHistory::Entry chosen = deleted_[row];
    trap.clearLastError();
    DeletedRecords::RestoreResult result;
    if (!trap([&] { result = DeletedRecords::restore(*cls_->Db, cls_->DocPath, chosen); })) {
        trap([&] {
            dialogs.information(
                this, QStringLiteral("The record was not restored: %1.").arg(kyt::Db::whyNotWritten(trap.lastError())));
        });
        return;
    }
    QString text =
        result.restored
            ? DeletedRecords::restoredText(chosen.srNo, result.srNo)
            : QStringLiteral("The record was not restored: %1.").arg(DeletedRecords::refusedText(chosen.srNo, result));
    if (!result.documentsError.isEmpty())
        text += QStringLiteral(" Its documents could not all be put back: ") + result.documentsError;
    trap([&] { dialogs.information(this, text); });
    if (result.restored)
        Q_EMIT restored(result.srNo);
    fill();
}
