#include "store/BulkImporter.h"

#include "store/DocumentCopier.h"
#include "store/DocumentWrites.h"
#include "store/OlderRecordReader.h"

#include "platform/Db.h"
#include "store/RecordLayout.h"
#include "store/RecordNumbers.h"
#include "store/RenewalCarryOver.h"
#include "store/StoreStatements.h"

#include <algorithm>
#include <limits>

namespace bulk {

BulkImporter::BulkImporter(kyt::Db& db, ImportChoices choices, kyt::ErrorTrap& trap)
    : db_(db), choices_(std::move(choices)), trap_(trap) {}

BulkImporter::~BulkImporter() = default;

void BulkImporter::begin() {
    count_ = 0;
    failed_ = 0;
    unreachable_ = false;
    // Each row reads the highest number in use as it is inserted, so the run needs none up front.
    srNo_ = 0;
    notes_.clear();
    copier_.reset();
    olderRecords_.reset();
    desk_ = Renewals::thisDesk();
    holders_.reset();
    renewedRecords_.clear();
    // Without the table of renewals (a register that cannot take it, such as a full disk) the rows
    // are imported unlinked; each row's own write says what the register refuses.
    kyt::ErrorTrap::silent()([&] {
        Renewals::ensureTable(db_, desk_);
        holders_ = std::make_unique<Renewals::HolderIndex>(Renewals::HolderIndex::ofRegister(db_));
        renewedRecords_ = Renewals::renewedRecords(db_);
    });
    if (choices_.carryOver && !choices_.docPath.isEmpty())
        documentWrites_ = std::make_unique<DocumentWrites>(choices_.docPath, DocumentWrites::Side::Writer,
                                                           DocumentWrites::kWriterPatience);
    batch_ = std::make_unique<kyt::Db::WriteBatch>(db_);
}

void BulkImporter::finish() {
    olderRecords_.reset();
    batch_.reset();
    if (copier_) {
        notes_ << copier_->finish();
        copier_.reset();
        const QString folder = choices_.docPath + QStringLiteral("/DscDocs");
        if (const QString why = kyt::ReplacingFile::syncFileSystem(folder); !why.isEmpty())
            notes_ << QStringLiteral("The proof documents carried over may not be on the disk: %1 %2").arg(folder, why);
    }
    documentWrites_.reset();
}

StoreStatements::RecordValues BulkImporter::valuesOf(const std::array<QString, kDetailCount>& details) const {
    // The seven details are the record's first seven values.
    static_assert(RecordLayout::valueIndex(RecordLayout::Email) + 1 == kDetailCount);
    StoreStatements::RecordValues values;
    std::copy(details.begin(), details.end(), values.begin());
    if (!choices_.autoType)
        StoreStatements::valueOf(values, RecordLayout::Typ) = choices_.type;
    StoreStatements::valueOf(values, RecordLayout::IdPrTyp) = choices_.idProofType;
    StoreStatements::valueOf(values, RecordLayout::AddrPrTyp) = choices_.addrProofType;
    return values;
}

void BulkImporter::expect(const QList<std::array<QString, kDetailCount>>& rows) {
    if (!choices_.carryOver || !holders_)
        return;
    QList<int> older;
    for (const auto& details : rows)
        if (const int srNo = holders_->renewedRecord(Renewals::issueOf(0, valuesOf(details)));
            srNo > 0 && !renewedRecords_.contains(srNo))
            older << srNo;
    if (older.isEmpty())
        return;
    if (!olderRecords_)
        olderRecords_ = std::make_unique<CarryOver::OlderRecordReader>(db_);
    olderRecords_->readAhead(older);
}

bool BulkImporter::lostDatabase() {
    if (trap_.lastError().number == kyt::errnum::DatabaseUnreachable)
        unreachable_ = true;
    return unreachable_;
}

QString BulkImporter::importRow(const std::array<QString, kDetailCount>& details, const QString& status) {
    // A row that could not be stored is tried again: the cause may be gone by now.
    if ((!status.isEmpty() && !status.startsWith(kNotImported)) || unreachable_)
        return status;
    trap_.clearLastError();
    StoreStatements::RecordValues values = valuesOf(details);
    const int older = holders_ ? holders_->renewedRecord(Renewals::issueOf(0, values)) : 0;
    std::optional<StoreStatements::RecordValues> olderValues;
    if (older > 0 && choices_.carryOver) {
        // A record renewed already by another certificate of its holder is not linked to this one,
        // and nothing of it is carried over.
        trap_([&] {
            if (renewedRecords_.contains(older))
                return;
            if (!olderRecords_)
                olderRecords_ = std::make_unique<CarryOver::OlderRecordReader>(db_);
            olderValues = olderRecords_->read(older);
        });
        if (lostDatabase())
            return status;
        if (olderValues)
            CarryOver::fill(values, *olderValues);
    }
    if (const StoreStatements::UnstorableValue bad = StoreStatements::FindUnstorableValue(values); bad.index >= 0) {
        ++failed_;
        return kNotImported + StoreStatements::UnstorableText(bad, ImportFieldLabel(bad.index));
    }
    // Counting on from the run's own last number unless another user has gone past it meanwhile.
    const int after = srNo_ < std::numeric_limits<int>::max() ? srNo_ + 1 : 0;
    int srNo = after;
    StoreOutcome outcome = StoreOutcome::Stored;
    const bool written = trap_([&] { outcome = InsertNewRecord(db_, values, srNo, after); });
    if (lostDatabase())
        return status;
    if (!written) {
        ++failed_;
        return kNotImported + kyt::Db::whyNotWritten(trap_.lastError());
    }
    if (outcome == StoreOutcome::DuplicateSerial)
        return kDuplicateSerial;
    srNo_ = srNo;
    ++count_;
    trap_([&] { db_.execute(StoreStatements::flushTables()); });
    if (holders_) {
        const Renewals::Issue issue = Renewals::issueOf(srNo, values);
        holders_->add(issue);
        QList<Renewals::Link> made;
        trap_([&] { made = Renewals::linkRecord(db_, *holders_, issue, desk_, choices_.linkMade); });
        for (const Renewals::Link& link : made)
            renewedRecords_.insert(link.oldSrNo);
        const bool linked = std::any_of(made.cbegin(), made.cend(), [&](const Renewals::Link& link) {
            return link.oldSrNo == older && link.newSrNo == srNo;
        });
        if (olderValues && linked) {
            // The copies go on beside the next rows, and reach the disk with the run's rows at
            // finish(): a sync for each would cost more than the rest of the import.
            if (!copier_)
                copier_ = std::make_unique<CarryOver::DocumentCopier>(choices_.docPath);
            copier_->add(older, srNo, values);
        }
    }
    return kImported;
}

QString ImportFieldLabel(int valueIndex) {
    static const QStringList labels = {QStringLiteral("the Certificate Name"),
                                       QStringLiteral("the Type of DSC"),
                                       QStringLiteral("the Serial Number"),
                                       QStringLiteral("the Issuing Authority"),
                                       QStringLiteral("Valid From"),
                                       QStringLiteral("Valid To"),
                                       QStringLiteral("the E-mail Id"),
                                       QStringLiteral("the Mobile No."),
                                       QStringLiteral("the Tel. No."),
                                       QStringLiteral("the ID Proof Type"),
                                       QStringLiteral("the ID Proof No."),
                                       QStringLiteral("the ID Proof file"),
                                       QStringLiteral("the Address Proof Type"),
                                       QStringLiteral("the Address Proof No."),
                                       QStringLiteral("the Address Proof file")};
    return labels.value(valueIndex);
}

QString UnreachableDatabaseNotice() {
    return QStringLiteral("The database cannot be reached, so the import stopped. The rows without a status were "
                          "not imported: press Import again when the database is back.");
}

QString TransferSummary(int count) {
    return QString::number(count) + QStringLiteral(" Records Transferred.");
}

} // namespace bulk
