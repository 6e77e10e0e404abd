#pragma once

#include "register/frmDscMain.h"

#include <QString>

// What differs between the identity proof and the address proof: their folder under DscDocs, the
// list column that holds the stored file name, the texts the user sees and the names under which
// their handlers log errors.
struct ProofTexts {
    QString folder;
    int storedNameColumn;
    QString selectTitle; // also the select button's tip
    QString clearTip;
    QString viewTip;
    QString clearQuestion;
    QString viewMissing;
    QString viewNoProgram;     // followed by the file's name
    QString saveMissingPrefix; // followed by the path and "] does not exist."
    QString overwriteQuestion;
    QString clearProcedure;
    QString viewProcedure;
};

const ProofTexts& proofTexts(frmDscMain::ProofKind kind);
