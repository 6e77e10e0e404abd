#pragma once

#include "register/frmDscMain.h"

#include <QString>

// What differs between the identity proof and the address proof: their folder under DscDocs, the
// list column that holds the stored file name, the texts the user sees and the names under which
// their handlers log errors.
struct ProofTexts {
    QString folder;
    int storedNameColumn;
    QString selectTitle;
    QString clearQuestion;
    QString viewMissing;
    QString saveMissingPrefix; // followed by the path and "] does not exist."
    QString overwriteQuestion;
    QString selectProcedure;
    QString clearProcedure;
    QString viewProcedure;
};

const ProofTexts& proofTexts(frmDscMain::ProofKind kind);
