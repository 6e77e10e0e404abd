#include "store/DeletedRecords.h"

#include "platform/Db.h"
#include "platform/Error.h"
#include "store/DocumentFiles.h"
#include "store/RecordNumbers.h"

#include <QDir>
#include <QFileInfo>

namespace DeletedRecords {

namespace {
const QString kKept = QStringLiteral(".deleted");
const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");
const QStringList kKinds = {QStringLiteral("IdProofs"), QStringLiteral("AddrProofs")};

QString docsRoot(const QString& docPath) {
    return docPath + QStringLiteral("/DscDocs");
}

// A name under .deleted that no earlier delete has taken: "<n>-<time>", "-2" and on after it.
QString freeKeptName(const QString& docPath, int n, const QDateTime& now) {
    const QString base = QStringLiteral("%1-%2").arg(n).arg(now.toString(kTimeFormat));
    QString name = base;
    for (int i = 2; QFileInfo::exists(docsRoot(docPath) + QLatin1Char('/') + kKept + QLatin1Char('/') + name); ++i)
        name = base + QStringLiteral("-%1").arg(i);
    return kKept + QLatin1Char('/') + name;
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
        for (const QString& kind : kKinds)
            moveFolder(proofFolder(docPath, kind, n),
                       docsRoot(docPath) + QLatin1Char('/') + kept + QLatin1Char('/') + kind);
    } catch (const kyt::Error& e) {
        result.documentsError = e.record().description;
    }
    return result;
}

RestoreResult restore(kyt::Db& db, const QString& docPath, const RecordHistory::Entry& deleted) {
    RestoreResult result;
    if (RestoreRecord(db, deleted, result.srNo, &result.entry) != StoreOutcome::Stored)
        return result;
    result.restored = true;
    if (deleted.documents.isEmpty())
        return result;
    try {
        for (const QString& kind : kKinds)
            moveFolder(docsRoot(docPath) + QLatin1Char('/') + deleted.documents + QLatin1Char('/') + kind,
                       proofFolder(docPath, kind, result.srNo));
        QDir().rmdir(docsRoot(docPath) + QLatin1Char('/') + deleted.documents);
    } catch (const kyt::Error& e) {
        result.documentsError = e.record().description;
    }
    return result;
}

QString restoredText(int wanted, int got) {
    if (wanted == got)
        return QStringLiteral("The record was restored as Sr. No. %1.").arg(got);
    return QStringLiteral("Sr. No. %1 is in use now, so the record was restored as Sr. No. %2.").arg(wanted).arg(got);
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
