#pragma once

#include "host/SessionCommand.h"

// `dscmgr import PATH...`: reads every listed certificate file and every file directly in each
// listed folder, as the bulk import wizard does, and inserts those read without a problem into the
// register. Prints the results grid's heading and one TAB-separated line per entry, then the
// summary. Exit status 0 when every entry was imported or was already in the register (same serial
// number), 1 when an entry could not be read or a statement failed, 2 when the command cannot run.
class ImportCommand : public SessionCommand {
public:
    ImportCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    QString check(const HostOptions& options) const override;
    int runIn(HostSession& session, Console& console) const override;
};
