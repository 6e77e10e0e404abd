#include "register/frmDscMain.h"
#include "register/ProofTexts.h"

namespace {
const QColor kLightRed(255, 192, 192);
const QColor kLightCyan(192, 255, 255);
} // namespace

QPushButton* frmDscMain::proofSelectButton(ProofKind kind) const {
    return kind == ProofKind::Id ? cmdIdProof : cmdAddrProof;
}

QPushButton* frmDscMain::proofClearButton(ProofKind kind) const {
    return kind == ProofKind::Id ? cmdIdProofC : cmdAddrProofC;
}

QPushButton* frmDscMain::proofViewButton(ProofKind kind) const {
    return kind == ProofKind::Id ? cmdIdProofV : cmdAddrProofV;
}

void frmDscMain::ApplyProofState(ProofKind kind) {
    QPushButton* select = proofSelectButton(kind);
    const bool chosen = !Tag(select).isEmpty();
    QPalette p = select->palette();
    p.setColor(QPalette::Button, chosen ? kLightRed : kLightCyan);
    select->setPalette(p);
    proofClearButton(kind)->setVisible(chosen);
    proofViewButton(kind)->setVisible(chosen);
    // The tips say what the small buttons do, and which file is attached.
    const ProofTexts& texts = proofTexts(kind);
    select->setToolTip(chosen ? texts.selectTitle + QStringLiteral("\nAttached: ") + Tag(select) : texts.selectTitle);
    proofClearButton(kind)->setToolTip(texts.clearTip);
    proofViewButton(kind)->setToolTip(texts.viewTip);
}
