#include "bulk/frmbulkdsc.h"
#include "component/ClsMain.h"
#include "platform/ObjectRegistry.h"
#include "register/frmDscMain.h"

void frmDscMain::EnableList(bool Enable) {
    for (QWidget* filter : std::initializer_list<QWidget*>{options[0], options[1], options[2], optdue, txtduedays,
                                                           optrecent, txtrecentdays})
        filter->setEnabled(Enable);
    txtdays[0]->setEnabled(Enable && options[2]->isChecked());
    cmdok->setEnabled(Enable);
    vs->setEnabled(Enable);
    for (QPushButton* b :
         {cmdadd, cmdmodify, cmddelete, cmdundo, cmdsettings, cmdreminders, cmdexport, cmddeleted, cmdimportbulk,
          cmdback[0]})
        b->setVisible(Enable);
    fammain1->setEnabled(!Enable);
    cmdcancel->setVisible(!Enable);
    cmdupdate->setVisible(!Enable);
}

void frmDscMain::cmdadd_Click() {
    ClearData();
    AddMode = true;
    carryOverAskedFor_ = 0;
    EnableList(false);
    txtfields[0]->setFocus();
}

void frmDscMain::cmdmodify_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDMODIFY_CLICK"));
    if (vs->Row() >= 1) {
        AddMode = false;
        EnableList(false);
        txtfields[0]->setFocus();
    } else {
        trap([&] { ClsObj->services().dialogs->information(this, QStringLiteral("Select a DSC.")); });
        vs->setFocus();
    }
}

void frmDscMain::cmdcancel_Click() {
    EnableList(true);
    LoadData();
    (AddMode ? cmdadd : cmdmodify)->setFocus();
}

void frmDscMain::cmdimportbulk_Click() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CMDIMPORTBULK_CLICK"));
    ClsObj->FileNos = 0;
    trap([&] {
        frmbulkdsc wizard(this);
        wizard.InitData(ClsObj);
        wizard.exec();
    });
    if (ClsObj->FileNos > 0) {
        LoadLists();
        setTag(options[0], QStringLiteral("-1"));
        trap([&] { options_Click(options[0]->isChecked() ? 0 : options[1]->isChecked() ? 1 : 2); });
    }
}

void frmDscMain::Form_KeyPress(int& KeyAscii) {
    if (KeyAscii != 27)
        return;
    KeyAscii = 0;
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("FORM_KEYPRESS"));
    if (famprev->isVisible()) {
        famprev->setVisible(false);
        fammain->setVisible(true);
        cmdpreview->setFocus();
    } else if (famsett->isVisible()) {
        famsett->setVisible(false);
        fammain->setVisible(true);
        cmdsettings->setFocus();
    } else if (!vs->isEnabled()) {
        kyt::Answer answer = kyt::Answer::No;
        trap([&] {
            answer = ClsObj->services().dialogs->question(this, QStringLiteral("Do you want to Cancel the Changes?"),
                                                          kyt::Answer::No);
        });
        if (answer == kyt::Answer::Yes)
            cmdcancel_Click();
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
    saveListView();
    kyt::ErrorTrap trap = kyt::ErrorTrap::silent();
    trap([&] { ClsObj->PdfObj.reset(); });
    if (ClsObj->registerWindow() == this)
        ClsObj->forgetRegisterWindow();
    trap([&] {
        if (ClsObj->MdiObj) {
            kyt::ObjectRef host = ClsObj->MdiObj;
            kyt::callByName(host.get(), "ReloadMenu");
            ClsObj->MdiObj.reset();
        }
    });
    Q_EMIT unloaded();
}
