#pragma once

#include "host/Command.h"

// `dscmgr certinfo FILE [password source]` and `dscmgr certinfo --store INDEX`: the eight
// certificate details, one line each, "Name: " and the text (on one line, fit for a terminal), or
// with --json one object keyed by those names. Exit status 0 when the certificate was read (detail
// 0 empty), 1 when not, 2 when the command cannot be run or its output not written.
class CertInfoCommand : public Command {
public:
    CertInfoCommand();
    QList<CommandOption> options() const override;
    QString takeArguments(const QStringList& arguments, HostOptions& options) const override;
    QString check(const HostOptions& options) const override;
    int run(const HostOptions& options, Console& console) const override;
};
