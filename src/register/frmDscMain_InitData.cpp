#include "component/ClsMain.h"
#include "component/Module1.h"
#include "register/frmDscMain.h"
#include "store/Renewals.h"
#include "store/StoreStatements.h"

void frmDscMain::InitData(const std::shared_ptr<ClsMain>& clsObj, bool CheckOnly) {
    ClsObj = clsObj;
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("INITDATA"));
    // Scaled, then placed in the middle of the screen, within it.
    ClsObj->Resize_For_Resolution(this, true);
    fitFixedSizes();
    trap([&] { ClsObj->Db->execute(StoreStatements::createTable()); });
    // An index that cannot be made (a file opened for reading, a server refusing it) only costs
    // speed, so it is not reported.
    for (const QString& index : StoreStatements::createIndexes())
        kyt::ErrorTrap::silent()([&] { ClsObj->Db->execute(index); });
    trap([&] { ClsObj->Db->execute(StoreStatements::flushTables()); });
    PurgeDeletedDocuments();
    // A register the user may only read keeps working without its table of renewals.
    kyt::ErrorTrap::silent()([&] { Renewals::ensureTable(*ClsObj->Db, Renewals::thisDesk()); });
    LoadLists();
    setTag(options[0], QStringLiteral("-1"));
    trap([&] {
        const int value = RoundHalfEven(
            Val(ClsObj->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCAuto"), QStringLiteral("1"))));
        if (value < 0 || value > 2)
            kyt::raise(380, QStringLiteral("Invalid property value"), QStringLiteral("frmDscMain"));
        chkauto->setTristate(value == 2);
        chkauto->setCheckState(value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked);
    });
    chkauto_Click();
    const double days =
        Val(ClsObj->GetSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), QStringLiteral("0")));
    txtdays[0]->setText(QString::number(days, 'g', 15));
    txtdays[1]->setText(txtdays[0]->text());
    restoreListView();
    // The list's reload logs its own failures.
    if (CheckOnly) {
        if (chkauto->checkState() == Qt::Unchecked) {
            vs->clearRows();
        } else {
            options[2]->setChecked(true);
            options_Click(2);
        }
    } else {
        options[0]->setChecked(true);
        options_Click(0);
    }
}
