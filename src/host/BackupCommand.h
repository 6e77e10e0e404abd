#pragma once

#include "host/SessionCommand.h"

// `dscmgr backup FILE`: the register and every proof document in one archive; `--verify FILE`
// checks one. Exit status 0; 2 with one line on `err` when it cannot be written or is not sound.
class BackupCommand : public SessionCommand {
public:
    BackupCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    bool readsOnly() const override { return true; }
    int run(const HostOptions& options, Console& console) const override;
    int runIn(HostSession& session, Console& console) const override;
};

// `dscmgr restore FILE --folder DIR [--db ADDRESS] [--replace]`: puts a backup into an empty
// register and folder, or with --replace over one that is backed up first. All or nothing.
class RestoreCommand : public Command {
public:
    RestoreCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    QString check(const HostOptions& options) const override;
    int run(const HostOptions& options, Console& console) const override;
};
