#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/DocumentFiles.h"
#include "register/frmDscMain.h"
#include "register/StoreStatements.h"

void frmDscMain::cmddelete_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDDELETE_CLICK"));
    kyt::Dialogs& dialogs = *ClsObj->services().dialogs;
    if (vs->Row() < 1) {
        trap([&] { dialogs.information(this, QStringLiteral("Select a DSC.")); });
        trap([&] { vs->setFocus(); });
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
        const QString number = vs->TextMatrix(vs->Row(), 1);
        // The documents go first: a folder that cannot be removed does not keep the row.
        for (ProofKind kind : {ProofKind::Id, ProofKind::Addr})
            trap([&] {
                const QString folder = proofFolder(kind, number);
                if (DocumentFiles::folderExists(folder))
                    DocumentFiles::deleteFolderTree(folder);
            });
        trap([&] { ClsObj->Db->execute(StoreStatements::deleteRecord(RoundHalfEven(Val(number)))); });
        trap([&] { ClsObj->Db->execute(StoreStatements::flushTables()); });
    }

    // Reloaded after either answer, so the list shows what the table now holds.
    trap([&] { vs->setEnabled(false); });
    trap([&] { LoadLists(); });
    trap([&] { LoadGrid(); });
    trap([&] { vs->setEnabled(true); });
    trap([&] { LoadData(); });
}
