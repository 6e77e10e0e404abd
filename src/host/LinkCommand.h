#pragma once

#include "host/SessionCommand.h"

// `dscmgr link OLD NEW` and `dscmgr unlink OLD NEW`: correct a wrong guess of which certificate
// renews which, by record number (Sr. No.). Exit status 1 when the register refuses the change.
class LinkCommand : public SessionCommand {
public:
    LinkCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    int runIn(HostSession& session, Console& console) const override;
};

class UnlinkCommand : public SessionCommand {
public:
    UnlinkCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    int runIn(HostSession& session, Console& console) const override;
};
