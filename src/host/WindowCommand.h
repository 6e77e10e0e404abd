#pragma once

#include "host/SessionCommand.h"

// `dscmgr [gui]`: the host window on the register, until the user closes it.
class WindowCommand : public SessionCommand {
public:
    WindowCommand();
    QList<CommandOption> options() const override;
    bool opensWindow() const override { return true; }
    int runIn(HostSession& session, Console& console) const override;

protected:
    kyt::Services services(Console& console) const override;
};
