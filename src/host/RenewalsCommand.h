#pragma once

#include "host/SessionCommand.h"

// `dscmgr renewals`: the links between renewed certificates and their renewals, one per line (or a
// JSON array with --json).
class RenewalsCommand : public SessionCommand {
public:
    RenewalsCommand();
    QList<CommandOption> options() const override;
    bool readsOnly() const override { return true; }
    int run(const HostOptions& options, Console& console) const override;
    int runIn(HostSession& session, Console& console) const override;
};
