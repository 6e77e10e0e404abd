#include "store/DeletedRecords.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "store/DocumentFiles.h"
#include "store/DocumentWrites.h"
#include "store/RecordLayout.h"
#include "store/RecordNumbers.h"

#include <array>

#include <QDir>
#include <QFileInfo>

namespace DeletedRecords {

namespace {
const QString kKept = QStringLiteral(".deleted");
const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");

QString docsRoot(const QString& docPath) {
    return docPath + QStringLiteral("/DscDocs");
}

struct KindField {
    QString kind;
    int value; // the index of its file name within the record's values
};
const std::array<KindField, 2> kKindFields = {{
    {QStringLiteral("IdProofs"), RecordLayout::valueIndex(RecordLayout::IdPrFlNm)},
    {QStringLiteral("AddrProofs"), RecordLayout::valueIndex(RecordLayout::AddrPrFlNm)},
}};

QString kindLabel(const QString& kind) {
    return kind == kKindFields[0].kind ? QStringLiteral("The ID proof") : QStringLiteral("The address proof");
}

void cannot(const QString& text) {
    kyt::raise(kyt::errnum::Unexpected, text, QStringLiteral("KYTDscMgr"));
}

QString fileNameIn(const std::optional<StoreStatements::RecordValues>& values, int index) {
    return values ? (*values)[size_t(index)] : QString();
}

// The files of one kind that undoing `update` puts aside: the file the save stored when the older
// values name another, or when the save kept a file it wrote over.
QString goesAside(const QString& docPath, const RecordHistory::Entry& update, const KindField& k) {
    const QString after = fileNameIn(update.after, k.value);
    if (after.isEmpty() || !QFileInfo(proofFolder(docPath, k.kind, update.srNo) + QLatin1Char('/') + after).isFile())
        return {};
    const bool overwritten =
        !update.documents.isEmpty() && QFileInfo::exists(docsRoot(docPath) + QLatin1Char('/') + update.documents +
                                                         QLatin1Char('/') + k.kind + QLatin1Char('/') + after);
    return after != fileNameIn(update.before, k.value) || overwritten ? after : QString();
}

// Moves folder `from` to `to` (whose parent is made); a folder already at `to` gets the files of
// `from` that it lacks. Raises when a file cannot be moved.
void moveFolder(const QString& from, const QString& to) {
    if (!QFileInfo(from).isDir())
        return;
    if (!QDir().mkpath(QFileInfo(to).absolutePath()))
        kyt::raise(kyt::errnum::Unexpected, QStringLiteral("The folder %1 cannot be made.").arg(to),
                   QStringLiteral("KYTDscMgr"));
    if (!QFileInfo::exists(to) && QDir().rename(from, to))
        return;
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo& f : source.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString target = to + QLatin1Char('/') + f.fileName();
        if (QFileInfo::exists(target) || !QFile::rename(f.absoluteFilePath(), target))
            kyt::raise(kyt::errnum::Unexpected,
                       QStringLiteral("%1 cannot be moved to %2.").arg(f.absoluteFilePath(), to),
                       QStringLiteral("KYTDscMgr"));
    }
    QDir().rmdir(from);
}
} // namespace

QString freeKeptName(const QString& docPath, int n, const QDateTime& now, const QString& besides) {
    const QString base = QStringLiteral("%1-%2").arg(n).arg(now.toString(kTimeFormat));
    QString name = base;
    for (int i = 2; QFileInfo::exists(docsRoot(docPath) + QLatin1Char('/') + kKept + QLatin1Char('/') + name) ||
                    kKept + QLatin1Char('/') + name == besides;
         ++i)
        name = base + QStringLiteral("-%1").arg(i);
    return kKept + QLatin1Char('/') + name;
}

void keepReplaced(const QString& docPath, const QString& kept, const QString& kind, const QString& path, bool copy) {
    const QString folder = docsRoot(docPath) + QLatin1Char('/') + kept + QLatin1Char('/') + kind;
    const QString target = folder + QLatin1Char('/') + QFileInfo(path).fileName();
    if (!QDir().mkpath(folder))
        cannot(QStringLiteral("The folder %1 cannot be made.").arg(folder));
    if (QFileInfo::exists(target))
        cannot(QStringLiteral("%1 is kept already.").arg(target));
    // A copy reads regular files only, as a document's copy does: a named pipe would block it.
    if (copy)
        DocumentFiles::copyOver(path, target);
    else if (!QFile::rename(path, target))
        cannot(QStringLiteral("%1 cannot be kept in %2.").arg(path, folder));
}

QString undoFolder(const QString& docPath, const RecordHistory::Entry& update, const QDateTime& now) {
    for (const KindField& k : kKindFields)
        if (!goesAside(docPath, update, k).isEmpty())
            return freeKeptName(docPath, update.srNo, now, update.documents);
    return {};
}

QString takeBackReplaced(const QString& docPath, const RecordHistory::Entry& update, const QString& aside) {
    QStringList why;
    for (const KindField& k : kKindFields) {
        const QString folder = proofFolder(docPath, k.kind, update.srNo);
        try {
            const QString stored = goesAside(docPath, update, k);
            if (!stored.isEmpty() && !aside.isEmpty())
                keepReplaced(docPath, aside, k.kind, folder + QLatin1Char('/') + stored);
            if (!update.documents.isEmpty())
                moveFolder(docsRoot(docPath) + QLatin1Char('/') + update.documents + QLatin1Char('/') + k.kind, folder);
        } catch (const kyt::Error& e) {
            why << e.record().description;
        }
    }
    if (!update.documents.isEmpty())
        QDir().rmdir(docsRoot(docPath) + QLatin1Char('/') + update.documents);
    return why.join(QLatin1Char(' '));
}

QString proofFolder(const QString& docPath, const QString& kind, int n) {
    return docsRoot(docPath) + QLatin1Char('/') + kind + QLatin1Char('/') + QString::number(n);
}

DeleteResult deleteRecord(kyt::Db& db, const QString& docPath, int n, const QDateTime& now) {
    DeleteResult result;
    const QString kept = freeKeptName(docPath, n, now);
    result.deleted = DeleteRecord(db, n, kept, &result.entry);
    if (!result.deleted)
        return result;
    try {
        for (const KindField& k : kKindFields)
            moveFolder(proofFolder(docPath, k.kind, n),
                       docsRoot(docPath) + QLatin1Char('/') + kept + QLatin1Char('/') + k.kind);
    } catch (const kyt::Error& e) {
        result.documentsError = e.record().description;
    }
    return result;
}

RestoreResult restore(kyt::Db& db, const QString& docPath, const RecordHistory::Entry& deleted) {
    RestoreResult result;
    // The row is back before its documents are: a backup waits until both are.
    const DocumentWrites writing(docPath, DocumentWrites::Side::Writer, DocumentWrites::kWriterPatience);
    result.outcome = RestoreRecord(db, deleted, result.srNo, &result.entry);
    if (result.outcome != StoreOutcome::Stored)
        return result;
    result.restored = true;
    const QString kept =
        deleted.documents.isEmpty() ? QString() : docsRoot(docPath) + QLatin1Char('/') + deleted.documents;
    // Whether anything is there to move is judged before the move, which removes the folder.
    const bool keptThere = !kept.isEmpty() && QFileInfo(kept).isDir();
    QStringList why;
    try {
        if (keptThere) {
            for (const KindField& k : kKindFields)
                moveFolder(kept + QLatin1Char('/') + k.kind, proofFolder(docPath, k.kind, result.srNo));
            QDir().rmdir(kept);
        }
    } catch (const kyt::Error& e) {
        why << e.record().description;
    }
    // A document the record names that is neither back in its folder nor still kept is gone: the
    // user learns which, and why, while the record stays restored.
    for (const KindField& k : kKindFields) {
        const QString name = fileNameIn(deleted.before, k.value);
        if (name.isEmpty() || QFileInfo::exists(proofFolder(docPath, k.kind, result.srNo) + QLatin1Char('/') + name) ||
            (keptThere && QFileInfo::exists(kept + QLatin1Char('/') + k.kind + QLatin1Char('/') + name)))
            continue;
        const QString reason = kept.isEmpty() ? QStringLiteral("no copy was kept when the record was deleted")
                               : keptThere    ? QStringLiteral("it was not among the documents kept at the delete")
                                              : QStringLiteral("the documents kept at the delete have been purged");
        why << QStringLiteral("%1 \"%2\" could not be brought back: %3.").arg(kindLabel(k.kind), name, reason);
    }
    result.documentsError = why.join(QLatin1Char(' '));
    return result;
}

QString restoredText(int wanted, int got) {
    if (wanted == got)
        return QStringLiteral("The record was restored as Sr. No. %1.").arg(got);
    return QStringLiteral("Sr. No. %1 is in use now, so the record was restored as Sr. No. %2.").arg(wanted).arg(got);
}

QString refusedText(int wanted, const RestoreResult& result) {
    if (result.outcome != StoreOutcome::AlreadyRestored)
        return QStringLiteral("another record has its serial number now");
    if (result.srNo == wanted || result.srNo < 1)
        return QStringLiteral("Sr. No. %1 has already been restored").arg(wanted);
    return QStringLiteral("Sr. No. %1 has already been restored, as Sr. No. %2").arg(wanted).arg(result.srNo);
}

int purge(const QString& docPath, int days, const QDateTime& now) {
    const QDir kept(docsRoot(docPath) + QLatin1Char('/') + kKept);
    if (!kept.exists() || days < 0)
        return 0;
    int purged = 0;
    for (const QString& name : kept.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        // "<n>-<yyyyMMdd-HHmmss>[-k]": a name of another shape is no folder of ours and stays.
        const QStringList parts = name.split(QLatin1Char('-'));
        if (parts.size() < 3)
            continue;
        const QDateTime when = QDateTime::fromString(parts[1] + QLatin1Char('-') + parts[2], kTimeFormat);
        if (!when.isValid() || when.addDays(days) > now)
            continue;
        try {
            DocumentFiles::deleteFolderTree(kept.absoluteFilePath(name));
            ++purged;
        } catch (const kyt::Error&) {
            // Left for the next purge.
        }
    }
    return purged;
}

} // namespace DeletedRecords
