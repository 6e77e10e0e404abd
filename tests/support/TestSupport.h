#pragma once

#include "component/ClsMain.h"
#include "platform/Db.h"
#include "support/Doubles.h"
#include "support/ScriptedDialogs.h"

#include <memory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace testsupport {

// The two database backends every store test runs on. "mysql" needs KYT_TEST_MYSQL (set by CTest
// to the throwaway server); its absence fails the test, it never skips.
QStringList backendNames();
// Adds a "backend" column with one row per backend to the current data-driven test.
void addBackendColumn();

// A fresh database for one test on the named backend: an SQLite file in `folder`, or a database of
// its own on the MariaDB server (dropped and created anew).
std::shared_ptr<kyt::Db> openFreshDb(const QString& backend, const QString& folder, const QString& tag);

// The address by which a program in another process opens the database of `db`; on the server
// as `user` ("name" or "name:password"), with `options` ("&timeout=4") added.
QString addressOf(const kyt::Db& db, const QString& user = QStringLiteral("root"), const QString& options = {});

// Another desk's connection to the database of `db`; null, with `why` said, when it cannot be opened.
std::shared_ptr<kyt::Db> openAnotherDesk(const kyt::Db& db, QString* why);

// A trigger that refuses every history entry of the database of `db`, as a full disk or a revoked
// right would: every write that keeps one must then leave the register as it was.
void refuseHistory(kyt::Db& db);

// Writes an SQLite register at `file` with a few hundred records, closes it, and overwrites two of
// its pages in the middle, as a failing disk would: its first pages still read well.
void makeDamagedRegister(const QString& file);

// A component instance with scripted dialogs, a fixed clock, a recording desktop and an object
// registry of its own in a temporary folder, the report components registered.
struct ComponentFixture {
    explicit ComponentFixture(const QString& backend = QStringLiteral("sqlite"));

    QTemporaryDir dir;
    QString folder;
    std::shared_ptr<kyt::ScriptedDialogs> dialogs;
    std::shared_ptr<kyt::FixedClock> clock;
    std::shared_ptr<kyt::RecordingDesktop> desktop;
    std::shared_ptr<kyt::ObjectRegistry> objects;
    std::shared_ptr<kyt::Db> db;
    std::shared_ptr<ClsMain> cls;

    kyt::Services services() const;
    // Properties as InitMe would set them, without opening a window.
    void attach();
    // Inserts a record with the register's own insert statement.
    void insert(int srNo, const QString& name, const QString& dtFrom, const QString& dtTo,
                const QString& serial = QString());
    QString logText() const;
    QStringList logLines() const;
};

// While it lives, file permissions hold for this process even when it runs as root (the
// permission-override capabilities are dropped from its effective set, and given back after), so
// that an unreadable or unwritable file can be tested as any user meets it.
class FilePermissionsEnforced {
public:
    FilePermissionsEnforced();
    ~FilePermissionsEnforced();
    FilePermissionsEnforced(const FilePermissionsEnforced&) = delete;
    FilePermissionsEnforced& operator=(const FilePermissionsEnforced&) = delete;

private:
    bool dropped_ = false;
};

// Writes `content` to `path`, making its folder; a file that cannot be written fails the test.
void writeFile(const QString& path, const QByteArray& content);
// A file's content, empty when it cannot be read.
QByteArray readFile(const QString& path);

// A workbook's first sheet read back with Python's zipfile, as any reader of the format sees it: each
// row's cells as "A2|string|text" or "F2|number|47573.4166|dd/mm/yyyy hh:mm:ss", the last part the
// cell's number format (empty for the general one). Empty when the file is no readable workbook.
QList<QStringList> xlsxRows(const QString& path);
// The texts a widget draws when it paints itself, in the order drawn (text items only: what a user
// reads, not what the widget holds).
QStringList drawnTexts(QWidget* widget);

// The folder with the built programs and plugins.
QString binDir();

// What a program started by a test gave back: its exit status (-1 when it crashed or did not end
// in time), its output as written and in lines, and what it wrote to its error stream.
struct ProgramRun {
    int status = -1;
    QStringList lines;
    QString err;
    QByteArray out;
    // The last tab-separated cell of output line `row`.
    QString lastCell(int row) const { return lines.value(row).section(QLatin1Char('\t'), -1); }
};
// Waits up to `timeoutMs` for `p` to end, handling this process's events meanwhile, kills it when
// it does not end, and collects what it gave back.
ProgramRun finishRun(QProcess& p, int timeoutMs);

// The environment of dscmgr run as a script under cron runs it: no display and no runtime folder,
// the object registry at `registry`; each of `changes` sets ("NAME=value") or removes ("NAME") one.
QProcessEnvironment dscmgrEnvironment(const QString& registry, const QStringList& changes = {});
// Starts dscmgr so; the caller owns the process.
QProcess* startDscmgr(const QStringList& args, const QString& registry, const QStringList& changes = {});
// Runs dscmgr so to its end, its output going to `outputFile` when one is named.
ProgramRun runDscmgr(const QStringList& args, const QString& registry, const QStringList& changes = {},
                     const QString& outputFile = {});

} // namespace testsupport
