#pragma once

#include <QTextStream>

class ClsMain;
struct HostOptions;

// Gives the component its certificate information object, registering the component first when
// needed; false, after saying why on `err`, when it cannot be had.
bool attachCertObject(ClsMain& component, QTextStream& err);

// `dscmgr certinfo FILE [--password PASSWORD]` and `dscmgr certinfo --store INDEX`: the eight
// certificate details, one line each: the detail number, a TAB and the text. Exit status 0 when
// the certificate was read (detail 0 empty), 1 when not, 2 when the command cannot be run.
int runCertInfoCommand(const HostOptions& options, QTextStream& out, QTextStream& err);
// `dscmgr store`: one line per certificate of the store: index, holder, issuer and valid-to date,
// TAB-separated. Exit status 0, or 2 when the certificate component cannot be had.
int runStoreCommand(const HostOptions& options, QTextStream& out, QTextStream& err);
