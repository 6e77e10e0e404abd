#include "component/ClsMain.h"
#include "register/frmDscMain.h"
#include "register/ProofTexts.h"
#include "store/DocumentFiles.h"

namespace {
using Kind = frmDscMain::ProofKind;
const QString kModule = QStringLiteral("frmDscMain");

// Choosing a file only changes the tags; the file is copied when the record is saved.
void selectProof(frmDscMain& w, Kind kind) {
    const ProofTexts& texts = proofTexts(kind);
    QStringList chosen;
    // Cancelling, or a dialog that cannot be shown, ends the choice quietly.
    const bool shown = kyt::ErrorTrap::silent()([&] {
        chosen = w.ClsObj->services().dialogs->openFiles(&w, texts.selectTitle, QStringLiteral("All File|*.*"), false);
    });
    if (!shown || chosen.isEmpty())
        return;
    frmDscMain::setTag(w.proofSelectButton(kind), DocumentFiles::fileName(chosen.first()));
    frmDscMain::setTag(w.proofClearButton(kind), chosen.first());
    w.ApplyProofState(kind);
}

// Clearing also only changes the tags: a stored document goes when the record is saved.
void clearProof(frmDscMain& w, Kind kind) {
    const ProofTexts& texts = proofTexts(kind);
    kyt::ErrorTrap trap(w.ClsObj.get(), kModule, texts.clearProcedure);
    kyt::Answer answer = kyt::Answer::No;
    trap([&] { answer = w.ClsObj->services().dialogs->question(&w, texts.clearQuestion, kyt::Answer::Yes); });
    if (answer != kyt::Answer::Yes)
        return;
    frmDscMain::setTag(w.proofSelectButton(kind), QString());
    frmDscMain::setTag(w.proofClearButton(kind), QString());
    w.ApplyProofState(kind);
}

// Opens the stored document, or a newly chosen one where it lies, before any copy exists.
void viewProof(frmDscMain& w, Kind kind) {
    const ProofTexts& texts = proofTexts(kind);
    kyt::ErrorTrap trap(w.ClsObj.get(), kModule, texts.viewProcedure);
    const QString path = frmDscMain::Tag(w.proofClearButton(kind));
    if (path.isEmpty())
        return;
    trap([&] {
        if (!DocumentFiles::fileExists(path))
            w.ClsObj->services().dialogs->information(&w, texts.viewMissing);
        else if (!w.ClsObj->services().desktop->openDocument(path))
            w.ClsObj->services().dialogs->information(&w, texts.viewNoProgram + QLatin1Char('"') +
                                                              DocumentFiles::fileName(path) + QStringLiteral("\"."));
    });
}
} // namespace

QString frmDscMain::proofFolder(ProofKind kind, const QString& n) const {
    return ClsObj->DocPath + QStringLiteral("/DscDocs/") + proofTexts(kind).folder + QLatin1Char('/') + n;
}

void frmDscMain::cmdIdProof_Click() {
    selectProof(*this, ProofKind::Id);
}
void frmDscMain::cmdAddrProof_Click() {
    selectProof(*this, ProofKind::Addr);
}
void frmDscMain::cmdIdProofC_Click() {
    clearProof(*this, ProofKind::Id);
}
void frmDscMain::cmdAddrProofC_Click() {
    clearProof(*this, ProofKind::Addr);
}
void frmDscMain::cmdIdProofV_Click() {
    viewProof(*this, ProofKind::Id);
}
void frmDscMain::cmdAddrProofV_Click() {
    viewProof(*this, ProofKind::Addr);
}
