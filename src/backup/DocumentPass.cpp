#include "backup/DocumentPass.h"

#include "platform/Db.h"
#include "store/RecordHistory.h"
#include "store/RecordLayout.h"

#include <algorithm>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace backup {

namespace {
const QString kDocs = QStringLiteral("DscDocs/");
const char* const kKinds[] = {"IdProofs", "AddrProofs"};

QStringList filesIn(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    out.sort();
    return out;
}

// The folders of `kindFolder` named by a record of the copy, in number order. The folder is read
// once: a register has many records without documents, and looking for each one's folder would
// cost more than copying the documents.
std::map<int, QString> recordFolders(const QString& kindFolder, const std::set<int>& records) {
    std::map<int, QString> found;
    for (const QString& name : QDir(kindFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const int n = name.toInt(&number);
        if (number && n > 0 && name == QString::number(n) && records.count(n))
            found.emplace(n, name);
    }
    return found;
}

// Whether an update changed the names of the record's proof documents, and so its files.
bool namesDocuments(const QString& before, const QString& after) {
    const auto old = RecordHistory::valuesFrom(before);
    const auto now = RecordHistory::valuesFrom(after);
    if (!old || !now)
        return true;
    for (RecordLayout::Field f : {RecordLayout::IdPrFlNm, RecordLayout::AddrPrFlNm})
        if ((*old)[size_t(RecordLayout::valueIndex(f))] != (*now)[size_t(RecordLayout::valueIndex(f))])
            return true;
    return false;
}

struct LaterEntry {
    qint64 id = 0;
    int srNo = 0;
    QString kind;
    QString documents;
    qint64 takesBack = 0;
    bool namesChanged = false;
};

// The entries written since the copy, oldest first; a token's movements do not touch documents.
std::vector<LaterEntry> entriesSince(kyt::Db& db, const DocumentOwners& owners) {
    const qint64 from = owners.missingEntries.empty() ? owners.lastEntry : owners.missingEntries.front() - 1;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    std::vector<LaterEntry> out;
    if (!q.prepare(QStringLiteral("SELECT Id, SrNo, ChangeKind, Documents, TakesBack, CASE WHEN ChangeKind='update' "
                                  "THEN OldValues END, CASE WHEN ChangeKind='update' THEN NewValues END FROM "
                                  "DscHistory WHERE Id > ? AND ChangeKind <> 'custody' ORDER BY Id")) ||
        (q.addBindValue(from), !q.exec())) {
        const QString why = q.lastError().text();
        // No history yet: nothing was written through the program since the copy.
        if (why.contains(QLatin1String("no such table")) || q.lastError().nativeErrorCode() == QLatin1String("1146"))
            return out;
        fail(QStringLiteral("the register cannot be read: %1").arg(why.simplified()));
    }
    while (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        if (id <= owners.lastEntry &&
            !std::binary_search(owners.missingEntries.begin(), owners.missingEntries.end(), id))
            continue; // in the copy
        LaterEntry e{
            id,   q.value(1).toInt(), q.value(2).toString().toLower(), q.value(3).toString(), q.value(4).toLongLong(),
            false};
        if (e.kind == QLatin1String("update"))
            e.namesChanged = namesDocuments(q.value(5).toString(), q.value(6).toString());
        out.push_back(e);
    }
    if (q.lastError().isValid())
        fail(QStringLiteral("the register cannot be read: %1").arg(q.lastError().text().simplified()));
    return out;
}
} // namespace

bool safeKeptFolder(const QString& folder) {
    static const QRegularExpression shape(QStringLiteral("^\\.deleted/[^/\\\\]+$"));
    return shape.match(folder).hasMatch() && !folder.contains(QLatin1String(".."));
}

DocumentPass::DocumentPass(ArchiveWriter& archive, const QString& docsRoot, QList<Part>& parts)
    : archive_(archive), docs_(docsRoot), parts_(parts) {}

void DocumentPass::addFolder(const QString& relative, const QString& archivedAs, int owner) {
    const QString folder = docs_ + relative;
    for (const QString& path : filesIn(folder)) {
        const QString name = kDocs + archivedAs + path.mid(folder.size());
        if (added_.contains(name))
            continue;
        std::optional<Part> part = archive_.addFileIfPresent(name, path);
        if (!part) {
            // Moved away since the folder was listed: the history tells where, or the pass fails.
            if (owner > 0)
                lostFiles_.insert(owner);
            continue;
        }
        parts_ << *part;
        added_.insert(name);
        ++documents_;
    }
}

void DocumentPass::readLive(const DocumentOwners& owners) {
    for (const char* kind : kKinds) {
        const QString k = QLatin1String(kind) + QLatin1Char('/');
        for (const auto& [n, folder] : recordFolders(docs_ + k, owners.records))
            addFolder(k + folder, k + folder, n);
    }
    for (const auto& [entry, kept] : owners.kept)
        if (safeKeptFolder(kept))
            addFolder(kept, kept, 0); // a kept file purged meanwhile is gone for good
}

bool DocumentPass::settle(kyt::Db& db, const DocumentOwners& owners) {
    std::map<int, QString> deletedSince; // record -> the folder its delete put its documents in
    std::map<qint64, int> deletes;       // delete entry -> record
    std::set<int> unsettled;
    for (const LaterEntry& e : entriesSince(db, owners)) {
        if (e.kind == QLatin1String("restore")) {
            if (owners.kept.count(e.takesBack))
                return false; // a kept folder of the copy went back to a record
            if (const auto d = deletes.find(e.takesBack); d != deletes.end())
                unsettled.insert(d->second);
        }
        if (!owners.records.count(e.srNo))
            continue;
        if (deletedSince.count(e.srNo)) {
            unsettled.insert(e.srNo); // the number is another record's now, or its own again
            continue;
        }
        if (e.kind == QLatin1String("update") && !e.namesChanged)
            continue;
        if (e.kind == QLatin1String("delete") && safeKeptFolder(e.documents)) {
            deletedSince[e.srNo] = e.documents;
            deletes[e.id] = e.srNo;
            continue;
        }
        unsettled.insert(e.srNo);
    }
    if (!unsettled.empty())
        return false;
    for (int n : lostFiles_)
        if (!deletedSince.count(n))
            return false; // removed without a history entry that says where to
    // The files a delete moved are the ones the snapshot's record had: those not read in place yet
    // are read where the delete put them.
    lostFiles_.clear();
    for (const auto& [n, kept] : deletedSince)
        for (const char* kind : kKinds) {
            const QString k = QLatin1String(kind);
            addFolder(kept + QLatin1Char('/') + k, k + QLatin1Char('/') + QString::number(n), n);
        }
    return lostFiles_.empty();
}

} // namespace backup
