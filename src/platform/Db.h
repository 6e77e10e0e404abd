#pragma once

#include "platform/DbAddress.h"
#include "platform/Error.h"

#include <future>
#include <functional>
#include <memory>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

class QSqlQuery;

namespace kyt {

// The rows of one query, read forward. After opening it stands on the first row, if any.
class RowSet {
public:
    RowSet();
    explicit RowSet(std::unique_ptr<QSqlQuery> query);
    RowSet(RowSet&&) noexcept;
    RowSet& operator=(RowSet&&) noexcept;
    ~RowSet();

    bool isEmpty() const { return empty_; } // the query returned no row at all
    bool eof() const { return !onRow_; }
    void next();
    void close();

    int fieldCount() const;
    int indexOf(const QString& name) const; // -1 when there is no such field; case-insensitive
    QVariant value(int index) const;
    QVariant value(const QString& name) const; // raises when there is no such field
    // The field as text; NULL gives the empty text.
    QString text(int index) const;
    QString text(const QString& name) const { return text(requireIndex(name)); }
    // A date-and-time field as "DD/MM/YYYY HH:MM:SS"; NULL or a zero date gives the empty text.
    QString dateText(int index) const;
    QString dateText(const QString& name) const { return dateText(requireIndex(name)); }

private:
    int requireIndex(const QString& name) const;
    void fetch();

    std::unique_ptr<QSqlQuery> query_;
    bool onRow_ = false;
    bool empty_ = true;
    int fieldCount_ = 0;
    mutable QHash<QString, int> indexCache_;
};

// The connection the register works on: execute a statement text, or open a row set on one.
// Statements run as written; only what a backend needs is adapted ("Flush Tables" is a no-op on
// SQLite, where table names already match without regard to case; a table made on the server
// holds text in any script, whatever the database's own character set). Failures raise kyt::Error.
class Db {
public:
    enum class Backend { SQLite, MySQL };
    // ReadOnly: an SQLite file must exist already and is neither created nor changed in any way.
    enum class Access { ReadWrite, ReadOnly };

    // Structure: an SQLite file is checked for damage (SQLite's quick check, every page read once).
    // A file opened for writing is checked before anything reads or writes it (also before the
    // journal mode is set, which rewrites the header) and refused when damaged. A file opened for
    // reading is checked on a connection of its own beside the reading, so that the check costs
    // no time while the rows are read and sorted: see damage(), which a reader asks before it shows
    // anything of what it read.
    enum class Check { None, Structure };

    // Opens a connection; nullptr with a one-line reason when it cannot be had.
    static std::shared_ptr<Db> open(const DbAddress& address, QString* error, Access access = Access::ReadWrite,
                                    Check check = Check::None);
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    // A statement that finds the connection to the server lost reconnects and runs once more; when
    // the server still cannot be reached it raises errnum::DatabaseUnreachable. An insert, update or
    // delete that the server may have carried out before the connection went is not run again
    // (it could be stored twice): it raises errnum::DatabaseUnreachable too, on a connection made
    // anew for the statements that follow.
    void execute(const QString& sql);
    RowSet openRowSet(const QString& sql);
    // The same for a statement of our own tables, its values bound to its "?" marks in order, never
    // written into its text. execute() returns the key the database gave an inserted row.
    QVariant execute(const QString& sql, const QVariantList& values);
    RowSet openRowSet(const QString& sql, const QVariantList& values);

    // Runs `make` (statements that create tables of ours when missing) once per connection. Write
    // paths call it before they take the allocation lock: on the server, making a table inside the
    // lock's transaction would commit it early.
    void ensureOnce(const QString& what, const std::function<void(Db&)>& make);

    // Holds other processes off allocating record numbers while it lives: a named lock and a
    // transaction on the server, or the write lock of an SQLite file (a transaction). What runs
    // meanwhile is kept only by commit(), which raises when the database refuses it; a lock that
    // ends without a commit rolls back: a change and its history entry are stored together or not
    // at all. Raises errnum::RegisterBusy when the lock cannot be had in time (on the server,
    // well before a statement would be taken for lost).
    class AllocationLock {
    public:
        explicit AllocationLock(Db& db);
        AllocationLock(const AllocationLock&) = delete;
        AllocationLock& operator=(const AllocationLock&) = delete;
        ~AllocationLock();
        void commit();

    private:
        void release() noexcept;

        Db& db_;
        bool held_ = true;
        bool committed_ = false;
    };

    // A run of many small writes, each committed on its own, that need not each wait for the disk.
    // On an SQLite file in WAL mode a commit then skips its sync (the log is still synced before
    // every checkpoint, so a crash never damages the file), and the end of the batch checkpoints,
    // which puts the whole run on disk. A server database is left as it is.
    class WriteBatch {
    public:
        explicit WriteBatch(Db& db);
        WriteBatch(const WriteBatch&) = delete;
        WriteBatch& operator=(const WriteBatch&) = delete;
        ~WriteBatch();

    private:
        Db& db_;
        QString previousSync_; // empty when the batch changed nothing
    };

    // A condition to add to a statement that compares text column `column` with one of `values`,
    // so that it finds its rows through an index on that column: the empty text where the column's
    // own index serves (the server), else " And ..." (see sqlitetext::indexedMatch).
    QString indexedTextMatch(const QString& column, const QStringList& values) const;

    // Why the file was found damaged by the check that open() started for a reader, waiting for the
    // check to end; the empty text when it is sound or was not checked.
    QString damage() const;

    Backend backend() const { return backend_; }
    const QString& driverName() const { return driver_; }
    // Something the user should know about the server (e.g. table names matched case-sensitively).
    const QString& warning() const { return warning_; }
    QSqlDatabase connection() const;

    // Why a statement that was to write failed, in a few words for a status or a message box
    // ("the register is read-only", "the disk is full", ...).
    static QString whyNotWritten(const ErrorRecord& error);

    // Converts a stored date-and-time value to "DD/MM/YYYY HH:MM:SS" (empty for NULL or none).
    static QString formatDateValue(const QVariant& value);

private:
    Db(QString connectionName, Backend backend);
    [[noreturn]] void raiseFrom(const class QSqlError& error, const QString& sql) const;
    bool prepareMySqlSession(QString* error);
    // Runs a statement, reconnecting once when the connection turns out lost.
    std::unique_ptr<QSqlQuery> run(const QString& sql, const QVariantList* values = nullptr);
    bool reconnect(QString* error);

    QString name_;
    Backend backend_;
    QString driver_;
    QString warning_;
    int timeoutSeconds_ = DbAddress::kDefaultTimeoutSeconds;
    // Allocation locks held by this session on the server: a new session would not hold them.
    int sessionLocks_ = 0;
    QSet<QString> ensured_; // what ensureOnce() has made on this connection
    // Why the last reconnect failed, while that is news: empty otherwise.
    std::shared_ptr<QString> unreachable_ = std::make_shared<QString>();
    // The check a reader's open() started, if any.
    std::shared_future<QString> structure_;
};

} // namespace kyt
