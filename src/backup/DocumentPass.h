#pragma once

#include "backup/ArchiveParts.h"

#include <map>
#include <QSet>
#include <QString>
#include <set>
#include <vector>

namespace kyt {
class Db;
}

namespace backup {

// Whose documents a copy of the register names: its records, and the folders where the deletes it
// holds (and has not seen restored) put their documents.
struct DocumentOwners {
    std::set<int> records;
    std::map<qint64, QString> kept; // delete entry id -> folder under DscDocs
    // The newest history entry in the copy, and the ids below it that the copy lacks (a server hands
    // out ids before it commits, so an entry committed after the copy may have a lower id).
    qint64 lastEntry = 0;
    std::vector<qint64> missingEntries; // sorted
};

// Reads the documents the copy's rows name into the archive. The rows are a snapshot but the
// documents are read from the disk afterwards, where another desk may have moved them meanwhile;
// the history says what happened since the snapshot, and a record deleted since then has its
// documents taken from the folder its delete put them in. When the documents may no longer be those
// of the snapshot (a record replaced under the same number, a kept folder restored), the pass says
// so and the backup is taken again.
class DocumentPass {
public:
    DocumentPass(ArchiveWriter& archive, const QString& docsRoot, QList<Part>& parts);

    void readLive(const DocumentOwners& owners);
    // Adds what the deletes since the snapshot moved away. False when the archive cannot be made to
    // agree with the snapshot's rows.
    bool settle(kyt::Db& db, const DocumentOwners& owners);

    int documents() const { return documents_; }

private:
    void addFolder(const QString& relative, const QString& archivedAs, int owner);

    ArchiveWriter& archive_;
    QString docs_; // ".../DscDocs/"
    QList<Part>& parts_;
    QSet<QString> added_;
    std::set<int> lostFiles_; // records a file of which went away while it was read
    int documents_ = 0;
};

// True for a kept-documents folder as a delete names it: ".deleted/<name>", nothing that climbs out.
bool safeKeptFolder(const QString& folder);

} // namespace backup
