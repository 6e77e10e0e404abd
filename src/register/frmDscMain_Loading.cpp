#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"
#include "store/RecordLayout.h"

namespace {
void clearCombo(QComboBox* combo) {
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());
}

} // namespace

void frmDscMain::ClearData() {
    txtfields[0]->clear();
    clearCombo(cbodsctype);
    txtfields[2]->clear();
    txtfields[3]->clear();
    MaskedDateBox::setDateText(txtdts[0], QString());
    MaskedDateBox::setDateText(txtdts[1], QString());
    for (int i : {6, 7, 8})
        txtfields[size_t(i)]->clear();
    clearCombo(cboidproof);
    txtfields[10]->clear();
    setTag(cmdIdProof, QString());
    setTag(cmdIdProofC, QString());
    ApplyProofState(ProofKind::Id);
    clearCombo(cboaddrproof);
    txtfields[13]->clear();
    setTag(cmdAddrProof, QString());
    setTag(cmdAddrProofC, QString());
    ApplyProofState(ProofKind::Addr);
    lblrenewal->clear();
    cmdrenewal->setEnabled(false);
}

// Fills the entry frame from the list's current row: the list holds every text, so nothing here
// reads the database.
void frmDscMain::LoadData() {
    ClearData();
    const int row = vs->Row();
    cmdmodify->setEnabled(row >= 1);
    cmddelete->setEnabled(row >= 1);
    showLastReminded(row);
    if (row < 1)
        return;

    // The plain text boxes are numbered as the record's values.
    for (int slot = 0; slot < RecordLayout::kValueCount; ++slot) {
        const RecordLayout::Field field = RecordLayout::valueField(slot);
        const QString t = vs->TextMatrix(row, RecordLayout::columnOf(field));
        // The boxes hold the stored text; they draw bidirectional controls as marks themselves.
        switch (field) {
        case RecordLayout::Typ:
            cbodsctype->setEditText(t);
            break;
        case RecordLayout::IdPrTyp:
            cboidproof->setEditText(t);
            break;
        case RecordLayout::AddrPrTyp:
            cboaddrproof->setEditText(t);
            break;
        case RecordLayout::DtFrom:
        case RecordLayout::DtTo:
            MaskedDateBox::setDateText(txtdts[size_t(field - RecordLayout::DtFrom)], t);
            break;
        case RecordLayout::IdPrFlNm:
            setTag(cmdIdProof, t);
            break;
        case RecordLayout::AddrPrFlNm:
            setTag(cmdAddrProof, t);
            break;
        default:
            txtfields[size_t(slot)]->setText(t);
        }
    }

    ShowRenewalLink();
    if (!Tag(cmdIdProof).isEmpty())
        setTag(cmdIdProofC, proofFolder(ProofKind::Id, vs->TextMatrix(row, RecordLayout::kRecordNumberColumn)) +
                                QLatin1Char('/') + Tag(cmdIdProof));
    ApplyProofState(ProofKind::Id);
    if (!Tag(cmdAddrProof).isEmpty())
        setTag(cmdAddrProofC, proofFolder(ProofKind::Addr, vs->TextMatrix(row, RecordLayout::kRecordNumberColumn)) +
                                  QLatin1Char('/') + Tag(cmdAddrProof));
    ApplyProofState(ProofKind::Addr);
}
