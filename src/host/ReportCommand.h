#pragma once

#include "host/SessionCommand.h"

// `dscmgr report --pdf FILE`: the register's list under the chosen filter, printed with the chosen
// columns (--columns, else the saved choice, else every column) by the report component into a PDF
// file, through the register window's own preview frame. Exit status 0, or 2 with a one-line
// message when the file cannot be written (nothing is left behind then).
class ReportCommand : public SessionCommand {
public:
    ReportCommand();
    QList<CommandOption> options() const override;
    QString check(const HostOptions& options) const override;
    int runIn(HostSession& session, Console& console) const override;
};
