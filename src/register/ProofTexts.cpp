#include "register/ProofTexts.h"

#include "store/RecordLayout.h"

const ProofTexts& proofTexts(frmDscMain::ProofKind kind) {
    static const ProofTexts id{
        QStringLiteral("IdProofs"),
        RecordLayout::columnOf(RecordLayout::IdPrFlNm),
        QStringLiteral("Select ID Proof File"),
        QStringLiteral("Clear Selected ID Proof File"),
        QStringLiteral("View Selected ID Proof File"),
        QStringLiteral("Do you really want to Clear the Selected File for ID Proof?"),
        QStringLiteral("ID Proof file does not exist."),
        QStringLiteral("No program on this computer opens the ID Proof file "),
        QStringLiteral("ID Proof file ["),
        QStringLiteral("Id Proof file already exists. Do you want to Overwrite ?"),
        QStringLiteral("CMDIDPROOFC_CLICK"),
        QStringLiteral("CMDIDPROOFV_CLICK"),
    };
    static const ProofTexts addr{
        QStringLiteral("AddrProofs"),
        RecordLayout::columnOf(RecordLayout::AddrPrFlNm),
        QStringLiteral("Select Address Proof File"),
        QStringLiteral("Clear Selected Address Proof File"),
        QStringLiteral("View Selected Address Proof File"),
        QStringLiteral("Do you really want to Clear the Selected File for Address Proof ?"),
        QStringLiteral("Address Proof file does not exist."),
        QStringLiteral("No program on this computer opens the Address Proof file "),
        QStringLiteral("Address Proof file ["),
        QStringLiteral("Address Proof file already exists. Do you want to Overwrite ?"),
        QStringLiteral("CMDADDRPROOFC_CLICK"),
        QStringLiteral("CMDADDRPROOFV_CLICK"),
    };
    return kind == frmDscMain::ProofKind::Id ? id : addr;
}
