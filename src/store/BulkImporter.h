#pragma once

#include "platform/Db.h"
#include "platform/ErrorTrap.h"
#include "store/BulkReader.h"
#include "store/Renewals.h"

#include <memory>
#include <QSet>

class ClsMain;
class DocumentWrites;
namespace CarryOver {
class DocumentCopier;
class OlderRecordReader;
} // namespace CarryOver

namespace bulk {

inline const QString kAutoType = QStringLiteral("(Auto)");
inline const QString kDuplicateSerial = QStringLiteral("Duplicate Serial Number");
inline const QString kImported = QStringLiteral("Imported Successfully");
// The start of the status of a row that could not be stored; the reason follows.
inline const QString kNotImported = QStringLiteral("Not Imported: ");

// What the user chose for every imported record.
struct ImportChoices {
    bool autoType = true; // each record takes the type read from its certificate
    QString type;         // the type of every record otherwise
    QString idProofType;
    QString addrProofType;
    // A certificate that renews one in the register takes the older record's contact data, proofs
    // and proof documents (copied from under `docPath`, the host folder) where it has none.
    bool carryOver = false;
    QString docPath;
    // Told of each renewal link the import makes (see Renewals::LinkMade).
    Renewals::LinkMade linkMade;
};

// One import run: inserts read rows into DscStore one by one, refusing serial numbers already
// stored, with "Flush Tables" after each insert. The serial number check, the record number and
// the insert are one step under the allocation lock, so that a record saved meanwhile by another
// desk keeps its number and no certificate is stored twice. A row whose values the table cannot
// hold, or whose write the database refuses, gets a status saying why and is not counted; the run
// goes on. Once the database cannot be reached the run inserts nothing more: the rows left keep
// an empty status, for a later run to import.
class BulkImporter {
public:
    BulkImporter(kyt::Db& db, ImportChoices choices, kyt::ErrorTrap& trap);
    ~BulkImporter();

    // Starts a run: its count at 0, its writes batched until finish().
    void begin();
    // Optional, after begin(): the rows the run will import, so that with carry-over the older
    // records they renew are read in a few statements rather than one for each row. A record
    // changed by another desk during the run is carried over as it was read here.
    void expect(const QList<std::array<QString, kDetailCount>>& rows);
    // Imports one row unless its status is already set (a row not imported before is tried again),
    // and returns the row's status afterwards.
    QString importRow(const std::array<QString, kDetailCount>& details, const QString& status);
    // Ends the run: what it wrote is on disk when this returns.
    void finish();

    // Records stored in this run, and rows that could not be stored (their status says why).
    int count() const { return count_; }
    int failed() const { return failed_; }
    // The database stopped answering; no row was imported from then on.
    bool databaseUnreachable() const { return unreachable_; }
    // What the user should know about rows that were imported: documents not carried over.
    const QStringList& notes() const { return notes_; }

private:
    // A row's values as they are stored, before anything is carried over.
    StoreStatements::RecordValues valuesOf(const std::array<QString, kDetailCount>& details) const;
    // True, and remembered, when the trap's last error says the database cannot be reached.
    bool lostDatabase();

    kyt::Db& db_;
    ImportChoices choices_;
    kyt::ErrorTrap& trap_;
    std::unique_ptr<kyt::Db::WriteBatch> batch_;
    int srNo_ = 0;
    int count_ = 0;
    int failed_ = 0;
    bool unreachable_ = false;
    // Held while rows that carry documents over may be committed before their copies are made (and so
    // given up only after the copier, which waits for its copies).
    std::unique_ptr<DocumentWrites> documentWrites_;
    // Copies the documents carried over, beside the import; made by the run's first copy.
    std::unique_ptr<CarryOver::DocumentCopier> copier_;
    std::unique_ptr<CarryOver::OlderRecordReader> olderRecords_;
    // The register's holders, for linking renewals; none when it could not be read.
    std::unique_ptr<Renewals::HolderIndex> holders_;
    // The records renewed already (read at begin(), then as this run links them): nothing of them
    // is carried over, since a record renews at most once.
    QSet<int> renewedRecords_;
    QString desk_;
    QStringList notes_;
};

// How a status names one of the fifteen values of a record ("the Serial Number").
QString ImportFieldLabel(int valueIndex);

// Why an import run stopped early, for the user.
QString UnreachableDatabaseNotice();

// "N Records Transferred."
QString TransferSummary(int count);

} // namespace bulk
