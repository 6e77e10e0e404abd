#include "store/RenewalCarryOver.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "store/DocumentFiles.h"

namespace CarryOver {

namespace {
using RecordLayout::Field;
using StoreStatements::RecordValues;

QString& of(RecordValues& v, Field f) {
    return StoreStatements::valueOf(v, f);
}
} // namespace

std::optional<RecordValues> readRecord(kyt::Db& db, int srNo) {
    kyt::RowSet rs = db.openRowSet(StoreStatements::selectByRecordNumber(srNo));
    std::optional<RecordValues> values;
    if (!rs.eof()) {
        values.emplace();
        for (int i = 0; i < RecordLayout::kValueCount; ++i) {
            const Field field = RecordLayout::valueField(i);
            const QString name = QLatin1String(RecordLayout::name(field));
            (*values)[size_t(i)] = RecordLayout::isDate(field) ? rs.dateText(name) : rs.text(name);
        }
    }
    rs.close();
    return values;
}

bool fill(RecordValues& target, const RecordValues& older) {
    using namespace RecordLayout;
    bool filled = false;
    for (Field f : kCarriedFields) {
        const QString& from = older[size_t(valueIndex(f))];
        if (of(target, f).trimmed().isEmpty() && !from.isEmpty()) {
            of(target, f) = from;
            filled = true;
        }
    }
    return filled;
}

QString documentPath(const QString& docPath, bool addressProof, int srNo, const QString& fileName) {
    return docPath + QStringLiteral("/DscDocs/") +
           (addressProof ? QStringLiteral("AddrProofs/") : QStringLiteral("IdProofs/")) + QString::number(srNo) +
           QLatin1Char('/') + fileName;
}

QStringList copyDocuments(const QString& docPath, int oldSrNo, int newSrNo, const RecordValues& target,
                          kyt::ReplacingFile::Durability durability) {
    QStringList failures;
    for (const bool address : {false, true}) {
        const QString name =
            target[size_t(RecordLayout::valueIndex(address ? RecordLayout::AddrPrFlNm : RecordLayout::IdPrFlNm))];
        if (name.isEmpty())
            continue;
        const QString source = documentPath(docPath, address, oldSrNo, name);
        const QString copy = documentPath(docPath, address, newSrNo, name);
        try {
            if (!DocumentFiles::fileExists(source))
                kyt::raise(kyt::errnum::Unexpected, QStringLiteral("it is not in Sr. No. %1's folder").arg(oldSrNo),
                           QStringLiteral("KYTDscMgr"));
            QString folder = docPath + QStringLiteral("/DscDocs");
            for (const QString& level :
                 {QString(), address ? QStringLiteral("/AddrProofs") : QStringLiteral("/IdProofs"),
                  QString(QLatin1Char('/') + QString::number(newSrNo))}) {
                folder += level;
                if (!DocumentFiles::folderExists(folder))
                    DocumentFiles::makeFolder(folder);
            }
            DocumentFiles::copyOver(source, copy, durability);
        } catch (const kyt::Error& e) {
            failures << QStringLiteral("The %1 document \"%2\" of Sr. No. %3 was not copied to Sr. No. %4: %5")
                            .arg(address ? QStringLiteral("address proof") : QStringLiteral("ID proof"), name)
                            .arg(oldSrNo)
                            .arg(newSrNo)
                            .arg(e.record().description.simplified());
        }
    }
    return failures;
}

} // namespace CarryOver
