#pragma once

#include "host/SessionCommand.h"

// `dscmgr check`: the start-up check without a window. Exit status 1 when something is listed, 2
// when the register cannot be read or the list cannot be written. With --notify the same finding
// also goes to the desktop as one notice.
class CheckCommand : public SessionCommand {
public:
    CheckCommand();
    QList<CommandOption> options() const override;
    bool readsOnly() const override { return true; }
    int run(const HostOptions& options, Console& console) const override;
    int runIn(HostSession& session, Console& console) const override;
};
