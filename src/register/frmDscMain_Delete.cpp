#include "component/ClsMain.h"
#include "component/Module1.h"
#include "platform/Db.h"
#include "register/frmDscMain.h"
#include "store/DocumentFiles.h"
#include "store/RecordLayout.h"
#include "store/Renewals.h"
#include "store/StoreStatements.h"

#include <algorithm>

namespace {
// A record number as the register writes it: decimal digits, no sign, no leading zero.
bool isRecordNumberText(const QString& text) {
    if (text.isEmpty() || text.size() > 10 || (text.size() > 1 && text.front() == QLatin1Char('0')))
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}
} // namespace

void frmDscMain::cmddelete_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDDELETE_CLICK"));
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    if (vs->Row() < 1) {
        trap([&] { dialogs.information(this, QStringLiteral("Select a DSC.")); });
        vs->setFocus();
        return;
    }
    kyt::Answer answer = kyt::Answer::No;
    trap([&] {
        answer = dialogs.question(this, QStringLiteral("Do you really want to Delete the selected DSC details?"),
                                  kyt::Answer::No);
    });
    if (answer != kyt::Answer::Yes)
        return;

    answer = kyt::Answer::No;
    trap([&] {
        answer = dialogs.question(
            this,
            QStringLiteral(
                "It will also delete the attached Proof Files with the DSC. Do you really want to continue ?"),
            kyt::Answer::No);
    });
    if (answer == kyt::Answer::Yes) {
        const QString number = vs->TextMatrix(vs->Row(), RecordLayout::kRecordNumberColumn);
        // The row goes first: when the register refuses to delete it, the record and its documents
        // both stay, and the user hears why. The documents go only with their row.
        trap.clearLastError();
        const bool rowDeleted =
            trap([&] { ClsObj->Db->execute(StoreStatements::deleteRecord(RoundHalfEven(Val(number)))); });
        if (rowDeleted) {
            trap([&] { Renewals::removeLinksOf(*ClsObj->Db, RoundHalfEven(Val(number))); });
            trap([&] { ClsObj->Db->execute(StoreStatements::flushTables()); });
            DeleteProofDocuments(number);
        } else {
            QString why = kyt::Db::whyNotWritten(trap.lastError());
            // The generic reason speaks of storing; here nothing was to be stored.
            const QString generic = QStringLiteral("it could not be stored");
            if (why.startsWith(generic))
                why.replace(0, generic.size(), QStringLiteral("the register refused it"));
            trap([&] {
                dialogs.information(this, QStringLiteral("The certificate was not deleted: %1. Its details and proof "
                                                         "files are kept.")
                                              .arg(why));
            });
        }
    }

    // Reloaded after either answer, so the list shows what the table now holds.
    // The reloads log their own failures.
    vs->setEnabled(false);
    LoadLists();
    LoadGrid();
    vs->setEnabled(true);
    LoadData();
}

void frmDscMain::DeleteProofDocuments(const QString& recordNumber) {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDDELETE_CLICK"));
    // A row without a proper record number (written by another program) owns no folder: the folder
    // named by its empty or odd number would be a whole tree, or another record's.
    if (!isRecordNumberText(recordNumber))
        return;
    for (ProofKind kind : {ProofKind::Id, ProofKind::Addr})
        trap([&] {
            const QString folder = proofFolder(kind, recordNumber);
            if (DocumentFiles::folderExists(folder))
                DocumentFiles::deleteFolderTree(folder);
        });
}
