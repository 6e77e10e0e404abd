#pragma once

#include <functional>
#include <memory>
#include <QString>

namespace kyt {
class Db;
}

// One-file backups of a register: its database and every proof document, in one archive with a
// manifest (the program's version, counts, and the SHA-256 of every part), written last. An SQLite
// register is copied with SQLite's online backup; a server's tables are read in one consistent
// snapshot. A document is in the archive exactly when its record (or, for a deleted record's kept
// documents, its history entry) is in the copy.
namespace backup {

struct Outcome {
    bool ok = false;
    QString error; // one line: what is wrong
    int records = 0;
    int documents = 0;
};

// Writes the archive to a new file beside `file` and renames it into place: a backup that fails or
// is killed leaves nothing at `file`. A `file` that exists and is no regular file is refused.
// `afterSnapshot` runs between the copy of the rows and the reading of the documents (tests change
// the register there, as another desk would).
Outcome write(kyt::Db& db, const QString& docPath, const QString& file, const QString& version,
              const std::function<void()>& afterSnapshot = {});

// Reads the whole archive and checks every part against the manifest.
Outcome verify(const QString& file);

// Where a restore goes: the folder for the documents, and either an SQLite file or a server
// database (an open connection).
struct RestoreTarget {
    QString folder;
    QString sqliteFile;                // the register file, for an SQLite register
    std::shared_ptr<kyt::Db> serverDb; // the database, for a server register
    bool replace = false;              // a register that is not empty is backed up, then replaced
    QString version;
    // Renames a file or folder; empty: rename(2). Tests make a step of the swap fail with it.
    std::function<bool(const QString& from, const QString& to)> move;
};
// What a restore with `replace` kept beside the folder: the backup of the register it replaced, and
// the replaced document folder as it was (empty when it held no files).
struct Replaced {
    QString archive;
    QString documents;
};
// Restores into an empty register and document folder (or, with `replace`, over a register that
// is first backed up beside the folder, its document folder kept whole beside it; `replaced` names
// both). All or nothing: the archive is checked in full before the register or a document is
// changed, and a step of the swap that fails puts back what the steps before it changed.
Outcome restore(const QString& file, const RestoreTarget& target, Replaced* replaced = nullptr);

} // namespace backup
