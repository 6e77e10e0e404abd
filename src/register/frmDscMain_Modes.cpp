#include "bulk/frmbulkdsc.h"
#include "component/ClsMain.h"
#include "platform/ObjectRegistry.h"
#include "register/frmDscMain.h"

void frmDscMain::EnableList(bool Enable) {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    trap([&] {
        for (QRadioButton* o : options)
            o->setEnabled(Enable);
    });
    trap([&] { txtdays[0]->setEnabled(Enable && options[2]->isChecked()); });
    trap([&] { cmdok->setEnabled(Enable); });
    trap([&] { vs->setEnabled(Enable); });
    trap([&] {
        for (QPushButton* b : {cmdadd, cmdmodify, cmddelete, cmdsettings, cmdreminders, cmdimportbulk, cmdback[0]})
            b->setVisible(Enable);
    });
    trap([&] { fammain1->setEnabled(!Enable); });
    trap([&] {
        cmdcancel->setVisible(!Enable);
        cmdupdate->setVisible(!Enable);
    });
}

void frmDscMain::cmdadd_Click() {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    trap([&] { ClearData(); });
    AddMode = true;
    trap([&] { EnableList(false); });
    trap([&] { txtfields[0]->setFocus(); });
}

void frmDscMain::cmdmodify_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDMODIFY_CLICK"));
    if (vs->Row() >= 1) {
        AddMode = false;
        trap([&] { EnableList(false); });
        trap([&] { txtfields[0]->setFocus(); });
    } else {
        trap([&] { ClsObj->services().dialogs->information(this, QStringLiteral("Select a DSC.")); });
        trap([&] { vs->setFocus(); });
    }
}

void frmDscMain::cmdcancel_Click() {
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    trap([&] { EnableList(true); });
    trap([&] { LoadData(); });
    trap([&] { (AddMode ? cmdadd : cmdmodify)->setFocus(); });
}

void frmDscMain::cmdimportbulk_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDIMPORTBULK_CLICK"));
    trap([&] { ClsObj->FileNos = 0; });
    trap([&] {
        frmbulkdsc wizard(this);
        wizard.InitData(ClsObj);
        wizard.exec();
    });
    if (ClsObj->FileNos > 0) {
        trap([&] { LoadLists(); });
        trap([&] { setTag(options[0], QStringLiteral("-1")); });
        trap([&] { options_Click(options[0]->isChecked() ? 0 : options[1]->isChecked() ? 1 : 2); });
    }
}

void frmDscMain::Form_KeyPress(int& KeyAscii) {
    if (KeyAscii != 27)
        return;
    KeyAscii = 0;
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("FORM_KEYPRESS"));
    if (famprev->isVisible()) {
        trap([&] {
            famprev->setVisible(false);
            fammain->setVisible(true);
            cmdpreview->setFocus();
        });
    } else if (famsett->isVisible()) {
        trap([&] {
            famsett->setVisible(false);
            fammain->setVisible(true);
            cmdsettings->setFocus();
        });
    } else if (!vs->isEnabled()) {
        kyt::Answer answer = kyt::Answer::No;
        trap([&] {
            answer = ClsObj->services().dialogs->question(this, QStringLiteral("Do you want to Cancel the Changes?"),
                                                          kyt::Answer::No);
        });
        if (answer == kyt::Answer::Yes)
            trap([&] { cmdcancel_Click(); });
    } else {
        kyt::Answer answer = kyt::Answer::No;
        trap([&] {
            answer =
                ClsObj->services().dialogs->question(this, QStringLiteral("Do you want to Exit?"), kyt::Answer::No);
        });
        if (answer == kyt::Answer::Yes)
            trap([&] { close(); });
    }
}

void frmDscMain::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    if (!ClsObj)
        return;
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    trap([&] { ClsObj->PdfObj.reset(); });
    trap([&] {
        if (ClsObj->registerWindow() == this)
            ClsObj->forgetRegisterWindow();
    });
    trap([&] {
        if (ClsObj->MdiObj) {
            kyt::ObjectRef host = ClsObj->MdiObj;
            kyt::callByName(host.get(), "ReloadMenu");
            ClsObj->MdiObj.reset();
        }
    });
    Q_EMIT unloaded();
}
