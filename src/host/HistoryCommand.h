#pragma once

#include "host/SessionCommand.h"

// `dscmgr history [SRNO] [--since DATE] [--json]`: the register's history, newest first, each entry
// with the fields it changed. Exit status 0; 2 with one line on `err` when it cannot be read.
class HistoryCommand : public SessionCommand {
public:
    HistoryCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    bool readsOnly() const override { return true; }
    int runIn(HostSession& session, Console& console) const override;
};

// `dscmgr restore-deleted SRNO`: brings the record last deleted under SRNO back with its documents,
// under its number when that is free. Exit status 0; 2 with one line on `err` when it cannot.
class RestoreDeletedCommand : public SessionCommand {
public:
    RestoreDeletedCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    QString check(const HostOptions& options) const override;
    int runIn(HostSession& session, Console& console) const override;
};
