#pragma once

#include "bulk/BulkReader.h"
#include "platform/ErrorTrap.h"

class ClsMain;
namespace kyt {
class Db;
}

namespace bulk {

inline const QString kAutoType = QStringLiteral("(Auto)");
inline const QString kDuplicateSerial = QStringLiteral("Duplicate Serial Number");
inline const QString kImported = QStringLiteral("Imported Successfully");

// What the user chose for every imported record.
struct ImportChoices {
    bool autoType = true; // each record takes the type read from its certificate
    QString type;         // the type of every record otherwise
    QString idProofType;
    QString addrProofType;
};

// One import run: inserts read rows into DscStore one by one, refusing serial numbers already
// stored, with "Flush Tables" after each insert. Record numbers continue from the table's highest.
class BulkImporter {
public:
    BulkImporter(kyt::Db& db, ImportChoices choices, kyt::ErrorTrap& trap);

    // Takes the highest record number in use; once per run, before the first row.
    void begin();
    // Imports one row unless its status is already set, and returns the row's status afterwards.
    QString importRow(const std::array<QString, kDetailCount>& details, const QString& status);

    // Records inserted in this run, and of them those whose statement the database refused (the
    // error is logged; the row still counts, as the run cannot tell it from a stored one).
    int count() const { return count_; }
    int failed() const { return failed_; }

private:
    kyt::Db& db_;
    ImportChoices choices_;
    kyt::ErrorTrap& trap_;
    int srNo_ = 0;
    int count_ = 0;
    int failed_ = 0;
};

// "N Records Transferred."
QString TransferSummary(int count);

} // namespace bulk
