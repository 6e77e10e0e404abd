#pragma once

#include "host/Command.h"

// `dscmgr store`: one line per certificate of the store: index, holder, issuer and valid-to date,
// TAB-separated. Exit status 0; 1 with a line on `err` when no token holds a certificate; 2 when
// the certificate component cannot be had or the list not written.
class StoreCommand : public Command {
public:
    StoreCommand();
    QList<CommandOption> options() const override;
    int run(const HostOptions& options, Console& console) const override;
};
