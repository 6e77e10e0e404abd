#include "component/ClsMain.h"
#include "platform/ShownText.h"
#include "register/frmDscMain.h"
#include "register/MaskedDateBox.h"

namespace {
// List column of entry slot i is i + 2; column 1 is the record number.
constexpr int kFirstSlotColumn = 2;
constexpr int kRecordNumberColumn = 1;
constexpr int kSlots = 15;
enum Slot {
    TypeSlot = 1,
    DtFromSlot = 4,
    DtToSlot = 5,
    IdTypeSlot = 9,
    IdFileSlot = 11,
    AddrTypeSlot = 12,
    AddrFileSlot = 14
};

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
}

// Fills the entry frame from the list's current row: the list holds every text, so nothing here
// reads the database.
void frmDscMain::LoadData() {
    ClearData();
    const int row = vs->Row();
    cmdmodify->setEnabled(row >= 1);
    cmddelete->setEnabled(row >= 1);
    if (row < 1)
        return;

    for (int slot = 0; slot < kSlots; ++slot) {
        const QString t = vs->TextMatrix(row, slot + kFirstSlotColumn);
        // Boxes show bidirectional controls as marks; the save turns them back.
        const QString shownText = shown::visibleControls(t);
        switch (slot) {
        case TypeSlot:
            cbodsctype->setEditText(shownText);
            break;
        case IdTypeSlot:
            cboidproof->setEditText(shownText);
            break;
        case AddrTypeSlot:
            cboaddrproof->setEditText(shownText);
            break;
        case DtFromSlot:
        case DtToSlot:
            MaskedDateBox::setDateText(txtdts[size_t(slot - DtFromSlot)], t);
            break;
        case IdFileSlot:
            setTag(cmdIdProof, t);
            break;
        case AddrFileSlot:
            setTag(cmdAddrProof, t);
            break;
        default:
            txtfields[size_t(slot)]->setText(shownText);
        }
    }

    if (!Tag(cmdIdProof).isEmpty())
        setTag(cmdIdProofC, proofFolder(ProofKind::Id, vs->TextMatrix(row, kRecordNumberColumn)) + QLatin1Char('/') +
                                Tag(cmdIdProof));
    ApplyProofState(ProofKind::Id);
    if (!Tag(cmdAddrProof).isEmpty())
        setTag(cmdAddrProofC, proofFolder(ProofKind::Addr, vs->TextMatrix(row, kRecordNumberColumn)) +
                                  QLatin1Char('/') + Tag(cmdAddrProof));
    ApplyProofState(ProofKind::Addr);
}
