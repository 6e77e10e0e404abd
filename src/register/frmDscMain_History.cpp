#include "backup/RegisterBackup.h"
#include "component/ClsMain.h"
#include "component/Module1.h"
#include "platform/Clock.h"
#include "platform/Db.h"
#include "platform/Dialogs.h"
#include "register/frmDscMain.h"
#include "register/HistoryDialogs.h"
#include "store/DeletedRecords.h"
#include "store/DocumentWrites.h"
#include "store/RecordHistory.h"
#include "store/RecordLayout.h"
#include "store/RecordNumbers.h"
#include "store/StoreStatements.h"

#include <QApplication>
#include <QKeySequence>

void frmDscMain::connectHistoryControls() {
    cmdundo->setShortcut(QKeySequence::Undo);
    cmdundo->setToolTip(QStringLiteral("Takes back the last save or delete made in this window (Ctrl+Z)"));
    connect(cmdhistory, &QPushButton::clicked, this, &frmDscMain::cmdhistory_Click);
    connect(cmdundo, &QPushButton::clicked, this, &frmDscMain::cmdundo_Click);
    connect(cmddeleted, &QPushButton::clicked, this, &frmDscMain::cmddeleted_Click);
    connect(cmdbackupnow, &QPushButton::clicked, this, &frmDscMain::cmdbackupnow_Click);
}

// Writes "KYTDscMgr-backup-<time>.tar" into a folder the user picks.
void frmDscMain::cmdbackupnow_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDBACKUPNOW_CLICK"));
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    std::optional<QString> folder;
    trap([&] { folder = dialogs.pickFolder(this, QStringLiteral("Folder for the backup")); });
    if (!folder || folder->isEmpty())
        return;
    const QString file =
        *folder + QStringLiteral("/KYTDscMgr-backup-%1.tar")
                      .arg(ClsObj->services().clock->now().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const backup::Outcome written = backup::write(*ClsObj->Db, ClsObj->DocPath, file, QStringLiteral(KYT_VERSION));
    QApplication::restoreOverrideCursor();
    trap([&] {
        dialogs.information(this, written.ok ? QStringLiteral("The register (%1 records, %2 documents) is backed up in "
                                                              "%3.")
                                                   .arg(written.records)
                                                   .arg(written.documents)
                                                   .arg(file)
                                             : QStringLiteral("The backup was not written: %1").arg(written.error));
    });
}

void frmDscMain::PurgeDeletedDocuments() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("PURGEDELETEDDOCUMENTS"));
    trap([&] {
        const QString days = ClsObj->GetSettingINI(QStringLiteral("History"), QStringLiteral("KeepDeletedDays"),
                                                   QString::number(DeletedRecords::kDefaultKeepDays));
        bool ok = false;
        const int keep = days.trimmed().toInt(&ok);
        DeletedRecords::purge(ClsObj->DocPath, ok && keep >= 0 ? keep : DeletedRecords::kDefaultKeepDays,
                              ClsObj->services().clock->now());
    });
}

void frmDscMain::ReloadAndSelect(int n) {
    vs->setEnabled(false);
    LoadLists();
    LoadGrid();
    vs->setEnabled(true);
    const QString wanted = QString::number(n);
    for (int row = 1; row < vs->Rows(); ++row)
        if (vs->TextMatrix(row, RecordLayout::kRecordNumberColumn) == wanted) {
            vs->setRow(row);
            break;
        }
    LoadData();
}

void frmDscMain::cmdhistory_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDHISTORY_CLICK"));
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    const bool listMode = vs->isEnabled();
    if ((!listMode && AddMode) || vs->Row() < 1) {
        trap([&] { dialogs.information(this, QStringLiteral("Select a DSC.")); });
        return;
    }
    const int n = vs->TextMatrix(vs->Row(), RecordLayout::kRecordNumberColumn).toInt();
    QList<RecordHistory::Entry> entries;
    trap.clearLastError();
    if (!trap([&] {
            RecordHistory::ensureTable(*ClsObj->Db);
            entries = RecordHistory::entries(*ClsObj->Db, n);
        })) {
        trap([&] {
            dialogs.information(
                this, QStringLiteral("The history cannot be read: %1.").arg(trap.lastError().description.simplified()));
        });
        return;
    }
    const QString name = vs->TextMatrix(vs->Row(), RecordLayout::columnOf(RecordLayout::Nm));
    auto* dialog = new HistoryDialog(entries, QStringLiteral("History of %1").arg(name), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void frmDscMain::cmddeleted_Click() {
    auto* dialog = new RecentlyDeletedDialog(ClsObj, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &RecentlyDeletedDialog::restored, this, &frmDscMain::ReloadAndSelect);
    dialog->open();
}

// Takes back the entry this window wrote last, when the record is still as that entry left it: a
// change made since by another desk is not undone blindly.
void frmDscMain::cmdundo_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDUNDO_CLICK"));
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    auto tell = [&](const QString& text) { trap([&] { dialogs.information(this, text); }); };
    if (!vs->isEnabled())
        return;
    if (UndoEntry <= 0) {
        tell(QStringLiteral("There is nothing to undo."));
        return;
    }
    trap.clearLastError();
    std::optional<RecordHistory::Entry> entry;
    std::optional<StoreStatements::RecordValues> now;
    bool stillDeleted = false;
    if (!trap([&] {
            entry = RecordHistory::entry(*ClsObj->Db, UndoEntry);
            if (entry)
                now = RecordHistory::storedValues(*ClsObj->Db, entry->srNo);
            if (entry && entry->change == RecordHistory::Change::Delete) {
                const auto open = RecordHistory::lastDelete(*ClsObj->Db, entry->srNo);
                stillDeleted = open && open->id == entry->id;
            }
        })) {
        tell(QStringLiteral("Nothing was undone: %1.").arg(kyt::Db::whyNotWritten(trap.lastError())));
        return;
    }
    if (!entry || (entry->change != RecordHistory::Change::Delete && now != entry->after) ||
        (entry->change == RecordHistory::Change::Delete && !stillDeleted)) {
        UndoEntry = 0;
        tell(QStringLiteral("Nothing was undone: the certificate has been changed since."));
        return;
    }
    int select = entry->srNo;
    QString documentsError, refused;
    StoreOutcome outcome = StoreOutcome::Stored;
    const bool done = trap([&] {
        switch (entry->change) {
        case RecordHistory::Change::Insert:
        case RecordHistory::Change::Restore:
            documentsError =
                DeletedRecords::deleteRecord(*ClsObj->Db, ClsObj->DocPath, entry->srNo, ClsObj->services().clock->now())
                    .documentsError;
            break;
        case RecordHistory::Change::Update: {
            // The documents the save replaced come back; the ones it stored go aside, named by the undo's entry.
            const QString aside = DeletedRecords::undoFolder(ClsObj->DocPath, *entry, ClsObj->services().clock->now());
            const DocumentWrites writing(ClsObj->DocPath, DocumentWrites::Side::Writer,
                                         DocumentWrites::kWriterPatience);
            outcome = UpdateRecord(*ClsObj->Db, entry->srNo, entry->before.value_or(StoreStatements::RecordValues{}),
                                   nullptr, aside);
            if (outcome == StoreOutcome::Stored)
                documentsError = DeletedRecords::takeBackReplaced(ClsObj->DocPath, *entry, aside);
            break;
        }
        case RecordHistory::Change::Delete: {
            const DeletedRecords::RestoreResult r = DeletedRecords::restore(*ClsObj->Db, ClsObj->DocPath, *entry);
            outcome = r.outcome;
            documentsError = r.documentsError;
            select = r.srNo;
            if (r.restored && r.srNo != entry->srNo)
                documentsError = DeletedRecords::restoredText(entry->srNo, r.srNo) + QLatin1Char(' ') + documentsError;
            else if (!r.restored)
                refused = DeletedRecords::refusedText(entry->srNo, r);
            break;
        }
        case RecordHistory::Change::Custody: // a token's movement is no save: never this window's undo
            break;
        }
    });
    if (!done) {
        tell(QStringLiteral("Nothing was undone: %1.").arg(kyt::Db::whyNotWritten(trap.lastError())));
        return;
    }
    UndoEntry = 0;
    if (outcome == StoreOutcome::AlreadyRestored)
        tell(QStringLiteral("Nothing was undone: %1.").arg(refused));
    else if (outcome == StoreOutcome::DuplicateSerial)
        tell(QStringLiteral("Nothing was undone: another record has the serial number now."));
    else if (!documentsError.trimmed().isEmpty())
        tell(documentsError.trimmed());
    trap([&] { ClsObj->Db->execute(StoreStatements::flushTables()); });
    ReloadAndSelect(select);
}
