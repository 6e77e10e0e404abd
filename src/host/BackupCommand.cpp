#include "host/BackupCommand.h"

#include "backup/RegisterBackup.h"
#include "host/HostSession.h"
#include "host/SharedOptions.h"
#include "platform/Db.h"
#include "platform/DbAddress.h"

#include <QDir>

namespace {
QString takeArchive(const QStringList& arguments, HostOptions& options) {
    if (arguments.size() != 1)
        return QStringLiteral("Give one archive FILE.");
    options.archive = arguments[0];
    return {};
}
} // namespace

BackupCommand::BackupCommand()
    : SessionCommand({QStringLiteral("backup"),
                      QStringLiteral("  dscmgr backup FILE [--folder DIR] [--db ADDRESS]\n"
                                     "  dscmgr backup --verify FILE\n"),
                      QStringLiteral("Writes the register and every proof document into one archive with a manifest "
                                     "(version, counts, SHA-256 of every part), consistent while other desks write; "
                                     "--verify checks an archive."),
                      {QStringLiteral("A nightly backup from cron:\n"
                                      "  30 1 * * * dscmgr backup /var/backups/kyt/register-$(date +\\%a).tar\n")}}) {}

QList<CommandOption> BackupCommand::options() const {
    return sharedoption::registerPlace() +
           QList<CommandOption>{flagOption(QStringLiteral("verify"),
                                           QStringLiteral("checks FILE against its manifest; writes nothing"),
                                           &HostOptions::verify)};
}

QString BackupCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    return takeArchive(arguments, options);
}

int BackupCommand::run(const HostOptions& options, Console& console) const {
    if (!options.verify)
        return SessionCommand::run(options, console);
    const backup::Outcome checked = backup::verify(options.archive);
    if (!checked.ok) {
        console.err << "dscmgr: " << checked.error << '\n';
        return 2;
    }
    console.out << options.archive << ": sound, " << checked.records << " records and " << checked.documents
                << " documents.\n";
    return console.delivered() ? 0 : console.unwritten(QStringLiteral("the result"));
}

int BackupCommand::runIn(HostSession& session, Console& console) const {
    const backup::Outcome written =
        backup::write(*session.db(), session.folder(), session.options().archive, QStringLiteral(KYT_VERSION));
    if (!written.ok) {
        console.err << "dscmgr: the backup was not written: " << written.error << '\n';
        return 2;
    }
    console.out << session.options().archive << ": " << written.records << " records and " << written.documents
                << " documents.\n";
    return console.delivered() ? 0 : console.unwritten(QStringLiteral("the result"));
}

RestoreCommand::RestoreCommand()
    : Command({QStringLiteral("restore"),
               QStringLiteral("  dscmgr restore FILE --folder DIR [--db ADDRESS] [--replace]\n"),
               QStringLiteral("Restores a backup into an empty register and folder; with --replace the register and "
                              "folder there are backed up first, then replaced. All or nothing."),
               {}}) {}

QList<CommandOption> RestoreCommand::options() const {
    return QList<CommandOption>{sharedoption::folder(), sharedoption::db(),
                                flagOption(QStringLiteral("replace"),
                                           QStringLiteral("replaces a register that is not empty, after backing it up"),
                                           &HostOptions::replace)};
}

QString RestoreCommand::takeArguments(const QStringList& arguments, HostOptions& options) const {
    return takeArchive(arguments, options);
}

QString RestoreCommand::check(const HostOptions& options) const {
    return options.folder.isEmpty() ? QStringLiteral("restore needs --folder DIR.") : QString();
}

int RestoreCommand::run(const HostOptions& options, Console& console) const {
    backup::RestoreTarget target;
    target.folder = options.resolvedFolder();
    target.replace = options.replace;
    target.version = QStringLiteral(KYT_VERSION);
    QString why;
    const auto address = kyt::DbAddress::parse(
        options.db.isEmpty() ? QStringLiteral("sqlite:") + target.folder + QStringLiteral("/KYTDscMgr.db") : options.db,
        &why);
    if (!address) {
        console.err << "dscmgr: " << why << '\n';
        return 2;
    }
    if (address->kind == kyt::DbAddress::Kind::SQLite) {
        target.sqliteFile = QDir::cleanPath(QDir(target.folder).absoluteFilePath(address->path));
    } else {
        target.serverDb = kyt::Db::open(*address, &why);
        if (!target.serverDb) {
            console.err << "dscmgr: " << why << '\n';
            return 2;
        }
    }
    backup::Replaced replaced;
    const backup::Outcome restored = backup::restore(options.archive, target, &replaced);
    if (!restored.ok) {
        console.err << "dscmgr: nothing was restored: " << restored.error << '\n';
        return 2;
    }
    if (!replaced.archive.isEmpty() && !replaced.documents.isEmpty())
        console.out << "What was there is saved in " << replaced.archive << ", and its document folder is kept as "
                    << replaced.documents << ".\n";
    else if (!replaced.archive.isEmpty())
        console.out << "What was there is saved in " << replaced.archive << ".\n";
    console.out << "Restored " << restored.records << " records and " << restored.documents << " documents.\n";
    return console.delivered() ? 0 : console.unwritten(QStringLiteral("the result"));
}
