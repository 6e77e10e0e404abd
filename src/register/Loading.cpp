#include "component/ClsMain.h"
#include "register/frmDscMain.h"

// TODO(register): loading a record into the entry frame.
void frmDscMain::ClearData() {
    for (QLineEdit* t : txtfields)
        if (t)
            t->clear();
    for (QLineEdit* d : txtdts)
        d->clear();
    for (QComboBox* c : {cbodsctype, cboidproof, cboaddrproof})
        c->setEditText(QString());
}

void frmDscMain::LoadData() {
    const bool any = vs->Rows() > 1 && vs->Row() >= 1;
    cmdmodify->setEnabled(any);
    cmddelete->setEnabled(any);
    if (!any) {
        ClearData();
        return;
    }
    const int row = vs->Row();
    for (int slot = 0; slot < 14; ++slot)
        if (txtfields[size_t(slot)])
            txtfields[size_t(slot)]->setText(vs->TextMatrix(row, slot + 2));
    txtdts[0]->setText(vs->TextMatrix(row, 6));
    txtdts[1]->setText(vs->TextMatrix(row, 7));
    cbodsctype->setEditText(vs->TextMatrix(row, 3));
    cboidproof->setEditText(vs->TextMatrix(row, 11));
    cboaddrproof->setEditText(vs->TextMatrix(row, 14));
}
