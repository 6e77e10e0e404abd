#include "component/ClsMain.h"
#include "register/frmDscMain.h"

void frmDscMain::cmdsettings_Click() {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    trap([&] { fammain->setVisible(false); });
    trap([&] { famsett->setVisible(true); });
    trap([&] { chkauto->setFocus(); });
}

void frmDscMain::chkauto_Click() {
    txtdays[1]->setEnabled(chkauto->checkState() == Qt::Checked);
}

void frmDscMain::cmdback_Click(int Index) {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    if (Index == 1) {
        trap([&] {
            const int value = chkauto->checkState() == Qt::Unchecked ? 0 : chkauto->checkState() == Qt::Checked ? 1 : 2;
            ClsObj->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCAuto"), QString::number(value));
        });
        trap(
            [&] { ClsObj->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), txtdays[1]->text()); });
    }
    int key = 27;
    trap([&] { Form_KeyPress(key); });
}
