#pragma once

#include "host/SessionCommand.h"

// `dscmgr custody SRNO [--json]` prints where a record's token is and its movements, oldest first;
// `dscmgr custody out SRNO --to NAME` hands it over, `dscmgr custody in SRNO [--place TEXT]` takes it
// back into the office, each with an optional --note and --at. Exit status 0; 2 with one line on
// `err` when refused or when the register cannot be read or written.
class CustodyCommand : public SessionCommand {
public:
    CustodyCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    QString check(const HostOptions& options) const override;
    int run(const HostOptions& options, Console& console) const override;
    int runIn(HostSession& session, Console& console) const override;

private:
    int print(HostSession& session, Console& console) const;
    int move(HostSession& session, Console& console) const;
};
