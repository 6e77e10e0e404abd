#pragma once

#include "host/SessionCommand.h"

// `dscmgr list`: the rows the register's list shows under the chosen filter, as TAB-separated
// lines, as CSV or as JSON (see ListOutput). Exit status 0; 2 with one line on `err` when the
// register cannot be read or the list cannot be written.
class ListCommand : public SessionCommand {
public:
    ListCommand();
    QList<CommandOption> options() const override;
    QString check(const HostOptions& options) const override;
    bool readsOnly() const override { return true; }
    int run(const HostOptions& options, Console& console) const override;
    int runIn(HostSession& session, Console& console) const override;
};
