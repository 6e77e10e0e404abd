#include "component/ClsMain.h"
#include "platform/ShownText.h"
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
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("CLEARDATA"));
    trap([&] { txtfields[0]->clear(); });
    trap([&] { clearCombo(cbodsctype); });
    trap([&] {
        txtfields[2]->clear();
        txtfields[3]->clear();
    });
    trap([&] { MaskedDateBox::setDateText(txtdts[0], QString()); });
    trap([&] { MaskedDateBox::setDateText(txtdts[1], QString()); });
    trap([&] {
        for (int i : {6, 7, 8})
            txtfields[size_t(i)]->clear();
    });
    trap([&] {
        clearCombo(cboidproof);
        txtfields[10]->clear();
    });
    trap([&] {
        setTag(cmdIdProof, QString());
        setTag(cmdIdProofC, QString());
        ApplyProofState(ProofKind::Id);
    });
    trap([&] {
        clearCombo(cboaddrproof);
        txtfields[13]->clear();
    });
    trap([&] {
        setTag(cmdAddrProof, QString());
        setTag(cmdAddrProofC, QString());
        ApplyProofState(ProofKind::Addr);
    });
}

void frmDscMain::LoadData() {
    kyt::ErrorTrap trap(ClsObj.get(), QStringLiteral("frmDscMain"), QStringLiteral("LOADDATA"));
    trap([&] { ClearData(); });
    int row = 0;
    trap([&] { row = vs->Row(); });
    trap([&] {
        cmdmodify->setEnabled(row >= 1);
        cmddelete->setEnabled(row >= 1);
    });
    if (row < 1)
        return;

    // One step per slot: a cell that cannot be read leaves its control empty and the rest still load.
    // The plain text boxes are numbered as the record's values.
    for (int slot = 0; slot < RecordLayout::kValueCount; ++slot) {
        trap([&] {
            const RecordLayout::Field field = RecordLayout::valueField(slot);
            const QString t = vs->TextMatrix(row, RecordLayout::columnOf(field));
            // Boxes show bidirectional controls as marks; the save turns them back.
            const QString shownText = shown::visibleControls(t);
            switch (field) {
            case RecordLayout::Typ:
                cbodsctype->setEditText(shownText);
                break;
            case RecordLayout::IdPrTyp:
                cboidproof->setEditText(shownText);
                break;
            case RecordLayout::AddrPrTyp:
                cboaddrproof->setEditText(shownText);
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
                txtfields[size_t(slot)]->setText(shownText);
            }
        });
    }

    trap([&] {
        if (!Tag(cmdIdProof).isEmpty())
            setTag(cmdIdProofC, proofFolder(ProofKind::Id, vs->TextMatrix(row, RecordLayout::kRecordNumberColumn)) +
                                    QLatin1Char('/') + Tag(cmdIdProof));
    });
    trap([&] { ApplyProofState(ProofKind::Id); });
    trap([&] {
        if (!Tag(cmdAddrProof).isEmpty())
            setTag(cmdAddrProofC, proofFolder(ProofKind::Addr, vs->TextMatrix(row, RecordLayout::kRecordNumberColumn)) +
                                      QLatin1Char('/') + Tag(cmdAddrProof));
    });
    trap([&] { ApplyProofState(ProofKind::Addr); });
}
