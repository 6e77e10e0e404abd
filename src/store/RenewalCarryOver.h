#pragma once

#include "platform/ReplacingFile.h"
#include "store/StoreStatements.h"

#include <array>
#include <optional>
#include <QStringList>

namespace kyt {
class Db;
}

// Taking a holder's details over from the certificate a new one renews: the contact data, the
// proof types and numbers and the proof documents. Only what the new record lacks is filled, so
// nothing read from the certificate or typed is replaced. Documents are copied, never moved: the
// older record keeps its own.
namespace CarryOver {

// The fields a renewal takes over from the record it renews.
inline constexpr std::array<RecordLayout::Field, 9> kCarriedFields = {
    RecordLayout::Email,     RecordLayout::Mobile,   RecordLayout::TelNo,
    RecordLayout::IdPrTyp,   RecordLayout::IdPrNo,   RecordLayout::IdPrFlNm,
    RecordLayout::AddrPrTyp, RecordLayout::AddrPrNo, RecordLayout::AddrPrFlNm};

// Record n's values; none when there is no such record. Raises kyt::Error when it cannot be read.
std::optional<StoreStatements::RecordValues> readRecord(kyt::Db& db, int srNo);

// Fills the e-mail address, mobile and telephone numbers, proof types, numbers and document names
// that `target` lacks from `older`; true when anything was filled.
bool fill(StoreStatements::RecordValues& target, const StoreStatements::RecordValues& older);

// The path of a proof document of record n under the host folder; `addressProof` picks the kind.
QString documentPath(const QString& docPath, bool addressProof, int srNo, const QString& fileName);

// Copies the older record's proof documents named in `target` into the new record's folders. One
// line per document that could not be copied, saying which and why; the others are copied. With
// Deferred durability the caller syncs the file system once its run ends.
QStringList copyDocuments(const QString& docPath, int oldSrNo, int newSrNo, const StoreStatements::RecordValues& target,
                          kyt::ReplacingFile::Durability durability = kyt::ReplacingFile::Durability::Now);

} // namespace CarryOver
