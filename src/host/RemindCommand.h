#pragma once

#include "host/SessionCommand.h"

// `dscmgr remind`: e-mails the holders whose certificates reach a reminder step, one line per
// reminder on `out`, the summary line last. Exit status 0 when every reminder went, 1 when some
// were skipped or failed, 2 with one line on `err` when the run could not be carried out.
class RemindCommand : public SessionCommand {
public:
    RemindCommand();
    QList<CommandOption> options() const override;
    int runIn(HostSession& session, Console& console) const override;
};
