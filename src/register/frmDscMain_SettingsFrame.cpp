#include "component/ClsMain.h"
#include "register/frmDscMain.h"

void frmDscMain::cmdsettings_Click() {
    fammain->setVisible(false);
    famsett->setVisible(true);
    chkauto->setFocus();
}

void frmDscMain::chkauto_Click() {
    txtdays[1]->setEnabled(chkauto->checkState() == Qt::Checked);
}

void frmDscMain::cmdback_Click(int Index) {
    // The settings file logs its own failures.
    if (Index == 1) {
        const int value = chkauto->checkState() == Qt::Unchecked ? 0 : chkauto->checkState() == Qt::Checked ? 1 : 2;
        ClsObj->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCAuto"), QString::number(value));
        ClsObj->SaveSettingINI(QStringLiteral("Settings"), QStringLiteral("DSCDays"), txtdays[1]->text());
        applyDaySetting();
    }
    int key = 27;
    Form_KeyPress(key);
}
